# WineTest.cmake - tests that run Windows programs under Wine, next to the
# simulated D418 driver.
#
#   d418_add_wine_fixtures(SYS_TARGET CTL_TARGET)
#       defines the tests wine_session_start, sim_driver_start,
#       sim_driver_stop and wine_session_stop (fixtures "wine" and
#       "simdriver"), once per build tree: nothing happens when
#       D418_WINE_FIXTURES_DEFINED is already set, and it is set afterwards.
#   d418_add_wine_test(NAME EXE [ARGS...])
#       runs EXE under Wine in the session's prefix, with the simulated
#       driver loaded.
#   d418_add_board_driver_fixtures(SYS_TARGET)
#       defines board_driver_start and board_driver_stop (fixture
#       "boarddriver"): SYS_TARGET, the test build of d418.sys, as the
#       service d418. It and the simulated driver both create \Device\D418,
#       so only one runs at a time: the board driver starts once every test
#       of the simulated one has run (board_driver_start depends on
#       sim_driver_stop), and each start stops the other driver.
#   d418_add_board_driver_test(NAME EXE [ARGS...])
#       runs EXE under Wine with the board driver loaded.
#   D418_WINE_RUN
#       the command words that run a host command in the prefix's
#       environment (WINEPREFIX set, the right `wine` first on PATH); a test
#       that runs Windows programs puts its command after them.
#   D418_WINE_SLOW
#       how many times longer a Windows program takes here than under the
#       64-bit Wine: 1, or 4 for the 32-bit build, whose Wine runs through
#       qemu-i386; timeouts are multiplied by it.
#
# Can be included from any directory; the prefix is D418_WINEPREFIX
# (${CMAKE_BINARY_DIR}/wineprefix unless set). The 64-bit build runs in a
# win64 prefix under the machine's Wine, the 32-bit build in a win32 prefix
# under 32-bit Wine through qemu-i386 (scripts/ensure-wine32 sets it up).

include_guard(GLOBAL)

set(D418_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix"
    CACHE PATH "Wine prefix the Windows tests run in")
# Cached, so that every directory sees it after the first include.
get_filename_component(d418_wine_session "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-session" ABSOLUTE)
set(D418_WINE_SESSION "${d418_wine_session}" CACHE INTERNAL "the wine-session script")

find_program(D418_ENV env NO_CMAKE_FIND_ROOT_PATH)
if(NOT D418_ENV)
    set(D418_ENV env)
endif()

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(D418_WINE_ARCH win32)
    set(D418_WINE_SLOW 4)
else()
    set(D418_WINE_ARCH win64)
    set(D418_WINE_SLOW 1)
endif()
set(D418_WINE_RUN bash "${D418_WINE_SESSION}" run "${D418_WINEPREFIX}")

# TIMEOUT for a test that takes up to SECONDS under the 64-bit Wine.
function(d418_wine_timeout TEST SECONDS)
    math(EXPR seconds "${SECONDS} * ${D418_WINE_SLOW}")
    set_tests_properties(${TEST} PROPERTIES TIMEOUT ${seconds})
endfunction()

function(d418_add_wine_fixtures SYS_TARGET CTL_TARGET)
    get_property(defined GLOBAL PROPERTY D418_WINE_FIXTURES_DEFINED)
    if(D418_WINE_FIXTURES_DEFINED OR TARGET D418_WINE_FIXTURES_DEFINED OR defined)
        set(D418_WINE_FIXTURES_DEFINED TRUE PARENT_SCOPE)
        return()
    endif()
    set(session bash "${D418_WINE_SESSION}")
    add_test(NAME wine_session_start
        COMMAND ${session} start "${D418_WINEPREFIX}" ${D418_WINE_ARCH})
    set_tests_properties(wine_session_start PROPERTIES
        FIXTURES_SETUP wine TIMEOUT 300 RESOURCE_LOCK d418_wineprefix)

    add_test(NAME sim_driver_start
        COMMAND ${session} driver-start "${D418_WINEPREFIX}"
                "$<TARGET_FILE:${SYS_TARGET}>" "$<TARGET_FILE:${CTL_TARGET}>")
    set_tests_properties(sim_driver_start PROPERTIES
        FIXTURES_SETUP simdriver FIXTURES_REQUIRED wine RESOURCE_LOCK d418_wineprefix)
    d418_wine_timeout(sim_driver_start 60)

    add_test(NAME sim_driver_stop COMMAND ${session} driver-stop "${D418_WINEPREFIX}")
    set_tests_properties(sim_driver_stop PROPERTIES
        FIXTURES_CLEANUP simdriver FIXTURES_REQUIRED wine RESOURCE_LOCK d418_wineprefix)
    d418_wine_timeout(sim_driver_stop 60)

    add_test(NAME wine_session_stop COMMAND ${session} stop "${D418_WINEPREFIX}")
    set_tests_properties(wine_session_stop PROPERTIES
        FIXTURES_CLEANUP wine TIMEOUT 60 RESOURCE_LOCK d418_wineprefix)

    set(D418_WINE_FIXTURES_DEFINED TRUE PARENT_SCOPE)
    # Also seen by directories that are not this caller's parent.
    set_property(GLOBAL PROPERTY D418_WINE_FIXTURES_DEFINED TRUE)
endfunction()

# Tests that share the one simulated driver take the d418_wineprefix lock,
# so that a parallel ctest run never lets two of them script it at once.
function(d418_add_wine_test NAME EXE)
    add_test(NAME ${NAME} COMMAND ${D418_WINE_RUN} wine "${EXE}" ${ARGN})
    set_tests_properties(${NAME} PROPERTIES
        FIXTURES_REQUIRED "wine;simdriver" RESOURCE_LOCK d418_wineprefix)
    d418_wine_timeout(${NAME} 120)
endfunction()

function(d418_add_board_driver_fixtures SYS_TARGET)
    set(session bash "${D418_WINE_SESSION}")
    add_test(NAME board_driver_start
        COMMAND ${session} driver-start --service d418 "${D418_WINEPREFIX}"
                "$<TARGET_FILE:${SYS_TARGET}>")
    set_tests_properties(board_driver_start PROPERTIES
        FIXTURES_SETUP boarddriver FIXTURES_REQUIRED wine DEPENDS sim_driver_stop
        TIMEOUT 60 RESOURCE_LOCK d418_wineprefix)
    add_test(NAME board_driver_stop
        COMMAND ${session} driver-stop --service d418 "${D418_WINEPREFIX}")
    set_tests_properties(board_driver_stop PROPERTIES
        FIXTURES_CLEANUP boarddriver FIXTURES_REQUIRED wine TIMEOUT 60
        RESOURCE_LOCK d418_wineprefix)
endfunction()

function(d418_add_board_driver_test NAME EXE)
    d418_add_wine_test(${NAME} ${EXE} ${ARGN})
    set_tests_properties(${NAME} PROPERTIES FIXTURES_REQUIRED "wine;boarddriver")
endfunction()
