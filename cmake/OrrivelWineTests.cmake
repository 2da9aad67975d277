# Tests that need a display and Wine share one Xvfb and one persistent
# wineserver per build tree, started once per CTest run by the fixture tests
# orrivel_wine_start / orrivel_wine_stop (scripts/wine-env.sh). The display
# number is fixed per build tree (derived from its path, or set through
# ORRIVEL_TEST_DISPLAY); the start test fails clearly when another X server
# already holds it.

set(ORRIVEL_WINE_DIR "${CMAKE_BINARY_DIR}/wine")
if(NOT ORRIVEL_TEST_DISPLAY)
  string(MD5 _orrivel_hash "${ORRIVEL_WINE_DIR}")
  string(SUBSTRING "${_orrivel_hash}" 0 6 _orrivel_hash)
  math(EXPR _orrivel_display "0x${_orrivel_hash} % 400 + 100")
  set(ORRIVEL_TEST_DISPLAY "${_orrivel_display}" CACHE STRING
      "X display number of the Xvfb that the Wine tests of this build tree use")
endif()
set(ORRIVEL_TEST_SCREEN "1024x768x24" CACHE STRING "Screen of the tests' Xvfb (WxHxDepth)")

# Environment of every test that runs Windows code or looks at the display.
set(ORRIVEL_WINE_TEST_ENV
    "DISPLAY=:${ORRIVEL_TEST_DISPLAY}"
    "WINEPREFIX=${ORRIVEL_WINE_DIR}/prefix"
    "WINEDEBUG=-all"
    "WINEDLLOVERRIDES=mscoree,mshtml="
    "WINEARCH=win64"
    "ORRIVEL_WINE_DIR=${ORRIVEL_WINE_DIR}")

# Adds the fixture's two tests once per build tree.
function(orrivel_add_wine_fixture)
  # Once per build tree, whichever folder asks first.
  get_property(done GLOBAL PROPERTY ORRIVEL_WINE_FIXTURE_ADDED)
  if(done)
    return()
  endif()
  set_property(GLOBAL PROPERTY ORRIVEL_WINE_FIXTURE_ADDED TRUE)
  set(env "ORRIVEL_DISPLAY=${ORRIVEL_TEST_DISPLAY}" "ORRIVEL_SCREEN=${ORRIVEL_TEST_SCREEN}")
  if(WIN32)
    # The Windows tests open and close many windows; the end-to-end runs keep
    # the managed windows that a desktop has.
    list(APPEND env "ORRIVEL_WINE_UNMANAGED=1")
  endif()
  add_test(NAME orrivel_wine_start
           COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/wine-env.sh start ${ORRIVEL_WINE_DIR})
  add_test(NAME orrivel_wine_stop
           COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/wine-env.sh stop ${ORRIVEL_WINE_DIR})
  set_tests_properties(orrivel_wine_start PROPERTIES FIXTURES_SETUP orrivel_wine
                       TIMEOUT ${ORRIVEL_TEST_TIMEOUT} ENVIRONMENT "${env}")
  set_tests_properties(orrivel_wine_stop PROPERTIES FIXTURES_CLEANUP orrivel_wine
                       TIMEOUT ${ORRIVEL_TEST_TIMEOUT} ENVIRONMENT "${env}")
endfunction()

# Marks tests as needing the display and Wine: fixture, environment, the
# timeout, and one display user at a time (real input and screenshots).
function(orrivel_wine_test_properties)
  cmake_parse_arguments(arg "" "" "TESTS;ENVIRONMENT" ${ARGN})
  orrivel_add_wine_fixture()
  set(env ${ORRIVEL_WINE_TEST_ENV} ${arg_ENVIRONMENT})
  set_tests_properties(${arg_TESTS} PROPERTIES
    FIXTURES_REQUIRED orrivel_wine
    ENVIRONMENT "${env}"
    TIMEOUT ${ORRIVEL_TEST_TIMEOUT}
    RESOURCE_LOCK orrivel_display)
endfunction()
