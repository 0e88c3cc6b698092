# Host build: the library's logic linked against the simulated platform.
find_package(GTest REQUIRED)

add_library(d418sim STATIC sim/sim_platform.cpp sim/board.cpp sim/board_model.c sim/trace.cpp)
target_include_directories(d418sim PUBLIC ${PROJECT_SOURCE_DIR}/sim ${PROJECT_SOURCE_DIR}/lib)

add_library(d418lib_host STATIC ${D418_LOGIC})
target_include_directories(d418lib_host PUBLIC ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/lib)
target_compile_options(d418lib_host PRIVATE ${D418_NO_EH} -Wall -Wextra)
target_link_libraries(d418lib_host PUBLIC d418sim)

add_subdirectory(tests/host)
add_subdirectory(tests/driver)
include(diag/Host.cmake)
add_subdirectory(tests/fuzz)
add_subdirectory(bench/host)
