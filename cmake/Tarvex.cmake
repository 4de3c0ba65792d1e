# Helpers shared by every folder's CMakeLists.txt.

# Warnings are errors in our own code (never in third-party headers, which
# come in as SYSTEM include directories through the imported targets).
function(tarvex_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# tarvex_library(NAME SOURCES... [LIBS ...]): one static library per folder.
# Every library sees the repository root as its include root, so headers are
# included as "plat/sys/registry.h", "ui/UIMarkup.h" and so on.
function(tarvex_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  tarvex_warnings(${name})
endfunction()

# tarvex_test(NAME LABEL label SOURCES... LIBS...): one GoogleTest executable
# per source folder, its cases registered with CTest one by one so that
# `ctest -j` runs them in parallel.
function(tarvex_test name)
  cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    TARVEX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TARVEX_BINARY_DIR="${PROJECT_BINARY_DIR}")
  tarvex_warnings(${name})
  # Windows in tests go to the headless screen whatever display the machine
  # has; the x11 tests start their own X server and choose for themselves.
  set(env "")
  if(WIN32)
    # Every Windows test runs under Wine (cmake/WindowsTests.cmake), with
    # UTF-8 as its ANSI code page (its manifest).
    set(ARG_LABEL windows)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/windows/test-program.rc)
    # The Windows forms of the tests' shared helpers come first.
    target_include_directories(${name} BEFORE PRIVATE ${PROJECT_SOURCE_DIR}/tests/win32/include)
    target_link_libraries(${name} PRIVATE psapi)
  elseif(NOT ARG_LABEL STREQUAL "x11")
    set(env ENVIRONMENT PLAT_BACKEND=headless)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    # Listing the tests starts the program: under Wine, on a loaded
    # machine, that can take seconds.
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${ARG_LABEL}" TIMEOUT ${ARG_TIMEOUT} ${env}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()
