# The TMPDIR of every fuzz test (see fuzz/CMakeLists.txt), run by ctest:
#   cmake -DROOT=<folder> -DTESTS=<test,test,...> -DMODE=setup -P tmpdirs.cmake
# makes ROOT/<test> for each test, empty, and removes anything else in ROOT;
#   cmake -DROOT=<folder> -DTESTS=<test,test,...> -DMODE=check -P tmpdirs.cmake
# fails if a test left anything in its folder, and names the test and what it
# left. What was left stays for a look until the next setup.
string(REPLACE "," ";" tests "${TESTS}")
if(MODE STREQUAL "setup")
  file(REMOVE_RECURSE "${ROOT}")
  foreach(test IN LISTS tests)
    file(MAKE_DIRECTORY "${ROOT}/${test}")
  endforeach()
elseif(MODE STREQUAL "check")
  set(failed "")
  foreach(test IN LISTS tests)
    file(GLOB left LIST_DIRECTORIES true RELATIVE "${ROOT}/${test}" "${ROOT}/${test}/*")
    if(left)
      list(JOIN left " " names)
      message("${test} left in its TMPDIR ${ROOT}/${test}: ${names}")
      list(APPEND failed ${test})
    endif()
  endforeach()
  if(failed)
    list(JOIN failed ", " failed)
    message(FATAL_ERROR "fuzz tests that left files in TMPDIR: ${failed}")
  endif()
  list(LENGTH tests count)
  message("${count} fuzz tests left their TMPDIR empty")
else()
  message(FATAL_ERROR "MODE must be setup or check")
endif()
