# Host build of d418diag and d418cmd: their logic against the simulated
# loader, with the host tests.
include(GoogleTest)

add_library(d418diag_host STATIC
    diag/base_argument.c
    diag/binding.c
    diag/result_text.c
    diag/diag_main.c)
target_include_directories(d418diag_host PUBLIC
    ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/diag)
target_compile_options(d418diag_host PRIVATE -Wall -Wextra)

add_library(d418cmd_host STATIC diag/cmd_parse.c diag/cmd_main.c)
target_link_libraries(d418cmd_host PUBLIC d418diag_host)
target_compile_options(d418cmd_host PRIVATE -Wall -Wextra)

add_library(d418diag_sim_loader STATIC diag/sim_loader.cpp)
target_include_directories(d418diag_sim_loader PUBLIC
    ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/diag)
target_compile_options(d418diag_sim_loader PRIVATE ${D418_NO_EH} -Wall -Wextra)

add_executable(diag_host_tests
    diag/tests/diag_test.cpp
    diag/tests/result_text_test.cpp
    diag/tests/base_argument_test.cpp
    diag/tests/binding_test.cpp
    diag/tests/diag_main_test.cpp)
# The diag's logic first, then the loader it is linked against.
target_link_libraries(diag_host_tests PRIVATE
    d418diag_host d418diag_sim_loader GTest::gtest GTest::gtest_main)
gtest_discover_tests(diag_host_tests DISCOVERY_TIMEOUT 30 TEST_PREFIX diag.)

add_executable(cmd_host_tests
    diag/tests/cmd_parse_test.cpp
    diag/tests/cmd_main_test.cpp)
target_link_libraries(cmd_host_tests PRIVATE
    d418cmd_host d418diag_sim_loader GTest::gtest GTest::gtest_main)
gtest_discover_tests(cmd_host_tests DISCOVERY_TIMEOUT 30 TEST_PREFIX cmd.)

# d418inst: its logic against the stand-in for the service, registry and
# file calls (sim/inst_system_sim.cpp).
add_library(d418inst_host STATIC diag/inst_parse.c diag/inst_main.c)
target_link_libraries(d418inst_host PUBLIC d418diag_host)
target_compile_options(d418inst_host PRIVATE -Wall -Wextra)

add_library(d418inst_sim STATIC sim/inst_system_sim.cpp)
target_include_directories(d418inst_sim PUBLIC
    ${PROJECT_SOURCE_DIR}/diag ${PROJECT_SOURCE_DIR}/sim)
target_compile_options(d418inst_sim PRIVATE -Wall -Wextra)

add_executable(inst_host_tests
    diag/tests/inst_parse_test.cpp
    diag/tests/inst_main_test.cpp)
target_link_libraries(inst_host_tests PRIVATE
    d418inst_host d418inst_sim GTest::gtest GTest::gtest_main)
gtest_discover_tests(inst_host_tests DISCOVERY_TIMEOUT 30 TEST_PREFIX inst.)
