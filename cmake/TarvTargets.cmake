# Helpers that keep the layering honest.
#
# tarv_core_library(name SOURCES ...): a library that may use QtCore (and QtGui where
# drawing needs it) but never QtWidgets. Every source is scanned before the build; a
# QtWidgets include in a core file stops the build.
function(tarv_core_library name)
  cmake_parse_arguments(ARG "SHARED" "" "SOURCES" ${ARGN})
  if(ARG_SHARED)
    add_library(${name} SHARED ${ARG_SOURCES})
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
  endif()
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${name}.nowidgets)
  # Headers beside the sources belong to the core too.
  file(GLOB abs_sources ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(src IN LISTS ARG_SOURCES)
    get_filename_component(abs ${src} ABSOLUTE)
    list(APPEND abs_sources ${abs})
  endforeach()
  list(JOIN abs_sources "|" joined)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DSTAMP=${stamp} "-DFILES=${joined}"
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckNoWidgets.cmake
    DEPENDS ${abs_sources} ${PROJECT_SOURCE_DIR}/cmake/CheckNoWidgets.cmake
    COMMENT "Checking that ${name} stays free of QtWidgets" VERBATIM)
  add_custom_target(${name}_nowidgets DEPENDS ${stamp})
  add_dependencies(${name} ${name}_nowidgets)
endfunction()

# The environment of every test: the offscreen platform, the source and build folders and, in a
# sanitizer build, the sanitizer settings (which the programs a test starts inherit).
# No test reads or writes a machine store of the machine it runs on (TARV_MACHINE_DIR empty).
set(TARV_TEST_ENV "TARV_MACHINE_DIR=;QT_QPA_PLATFORM=offscreen;TARV_SOURCE_DIR=${PROJECT_SOURCE_DIR};TARV_BUILD_DIR=${PROJECT_BINARY_DIR}")
# No strict_string_checks: libxkbcommon's strndup of an unterminated buffer, which is valid,
# would stop every program on an X display.
if(TARV_SANITIZE)
  list(APPEND TARV_TEST_ENV
    "ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1"
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan-suppressions.txt:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endif()

# tarv_test(name SOURCES ... LIBS ... [ENVIRONMENT NAME=value...]): a GoogleTest executable
# run by ctest on the offscreen platform, each test in a fresh temporary Windows directory.
# Every case is a ctest entry of its own ("<name>.<Suite>.<Case>", found when ctest runs), so
# that a case that skips (GTEST_SKIP, with its reason in its output) is counted and listed as
# skipped (the discovery marks "[  SKIPPED ]" so): that pattern could only hide a failure where
# an entry held several cases.
include(GoogleTest)
function(tarv_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} tarv_testsupport GTest::gmock)
  # The environment goes through `env` in front of the program (for the listing too): a list
  # does not survive the discovery's properties. ENVIRONMENT entries come later and win.
  set_target_properties(${name} PROPERTIES
    CROSSCOMPILING_EMULATOR "env;${TARV_TEST_ENV};${ARG_ENVIRONMENT}")
  gtest_discover_tests(${name}
    TEST_PREFIX "${name}."
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    NO_PRETTY_VALUES
    PROPERTIES TIMEOUT 900)
endfunction()
