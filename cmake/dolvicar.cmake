# Shared helpers for the build of every area.

# dolvicar_library(name DIR dir [EXCLUDE regex...] [LIBS ...])
# A static library of every .cpp under dir (new files are picked up at the next build).
function(dolvicar_library name)
  cmake_parse_arguments(A "" "DIR" "EXCLUDE;LIBS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${A_DIR}/*.cpp)
  foreach(rx IN LISTS A_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${rx}")
  endforeach()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_link_libraries(${name} PUBLIC ${A_LIBS})
  else()
    # An area that has no sources yet still links.
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${A_LIBS})
  endif()
endfunction()

# dolvicar_threaded(target)
# A suite whose threads meet (the mixer, timers, the cursor, the SDL host): the
# target "threaded_suites" builds it, and its tests carry the label "threads",
# for the ThreadSanitizer run (tools/tsan.sh).
function(dolvicar_threaded target)
  if(NOT TARGET threaded_suites)
    add_custom_target(threaded_suites)
  endif()
  add_dependencies(threaded_suites ${target})
endfunction()

# dolvicar_test(name [THREADED] SOURCES ... LIBS ...)
# A GoogleTest suite registered with CTest. Tests run from the build tree with
# DOLVICAR_SOURCE_DIR pointing at the sources (for data files).
function(dolvicar_test name)
  cmake_parse_arguments(A "THREADED" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE DOLVICAR_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  set(labels "")
  if(A_THREADED)
    dolvicar_threaded(${name})
    set(labels threads)
  endif()
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "DOLVICAR_SOURCE_DIR=${CMAKE_SOURCE_DIR}" LABELS "${labels}")
endfunction()

# dolvicar_fuzz(name SOURCES ... LIBS ...)
# A fuzz target (LLVMFuzzerTestOneInput) with the driver every target shares
# (fuzz_driver, in fuzz/CMakeLists.txt). Normally that is the replay driver and
# the target runs over fuzz/corpus/<name>/ as a test; with DOLVICAR_LIBFUZZER
# (clang) it links libFuzzer for long campaigns instead.
# Every fuzz target is also a dependency of the target "fuzzers".
function(dolvicar_fuzz name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(fuzz_${name} ${A_SOURCES})
  if(DOLVICAR_LIBFUZZER)
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  else()
    add_test(NAME fuzz.${name}
             COMMAND fuzz_${name} ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
    set_tests_properties(fuzz.${name} PROPERTIES ENVIRONMENT "DOLVICAR_HEADLESS=1")
  endif()
  target_link_libraries(fuzz_${name} PRIVATE fuzz_driver ${A_LIBS})
  target_compile_definitions(fuzz_${name} PRIVATE DOLVICAR_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  if(NOT TARGET fuzzers)
    add_custom_target(fuzzers)
  endif()
  add_dependencies(fuzzers fuzz_${name})
endfunction()

# Adds every subdirectory of the current one that has its own CMakeLists.txt,
# so each area can add its suites without touching a shared list.
function(dolvicar_add_subdirs)
  file(GLOB children LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
