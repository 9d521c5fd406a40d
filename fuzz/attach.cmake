# Included through CMAKE_PROJECT_INCLUDE by scripts/fuzz while the top-level
# CMakeLists.txt does not add fuzz/ itself: reads fuzz/CMakeLists.txt once the top
# level is done (a deferred call may include a file but not add a directory; its
# arguments are expanded when it runs, hence the variable). Does nothing once the
# top level adds fuzz/, so an older build-fuzz/ keeps configuring.
file(READ ${CMAKE_SOURCE_DIR}/CMakeLists.txt _wip_top)
string(FIND "${_wip_top}" "add_subdirectory(fuzz)" _wip_fuzz_added)
if(_wip_fuzz_added EQUAL -1 AND NOT DEFINED WIP_FUZZ_LISTS)
  set(WIP_FUZZ_LISTS ${CMAKE_CURRENT_LIST_DIR}/CMakeLists.txt)
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL include ${WIP_FUZZ_LISTS})
endif()
