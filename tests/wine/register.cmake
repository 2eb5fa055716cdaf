# Registers the Wine test programs of the cross-build with this (native) ctest run: one
# ctest test per GoogleTest case, wine.<program>.<Suite>.<Case>, each run in its own Wine
# process by tools/wine-run, so a hung case fails alone. The cases are the ones the built
# program itself lists (--gtest_list_tests), asked when ctest starts and kept in
# wine-tests/<program>.list until the program is rebuilt (tests/wine/list-tests.cmake).
# The cases share one Wine prefix (registry, files beside the programs), so they run one
# at a time.
#
# Each case carries the labels of its program: VEMB_WINE_LABELS_<program> when set here
# (for example set(VEMB_WINE_LABELS_soak_test "wine;soak")), else `wine`; and its
# program's time limit: VEMB_WINE_TIMEOUT_<program>, else 180 seconds.
# The soak (150 steps of seed 1 here; `make soak` runs long ones) is also labelled soak.
set(VEMB_WINE_LABELS_soak_test "wine;soak")
file(GLOB VEMB_WINE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*_test.cpp)
foreach(src ${VEMB_WINE_TESTS})
  get_filename_component(name ${src} NAME_WE)
  set(labels wine)
  if(DEFINED VEMB_WINE_LABELS_${name})
    set(labels ${VEMB_WINE_LABELS_${name}})
  endif()
  set(timeout 180)
  if(DEFINED VEMB_WINE_TIMEOUT_${name})
    set(timeout ${VEMB_WINE_TIMEOUT_${name}})
  endif()
  set(script ${CMAKE_BINARY_DIR}/wine-tests/${name}.cmake)
  file(WRITE ${script}
       "set(VEMB_PROGRAM [==[${name}]==])\n"
       "set(VEMB_EXE [==[${VEMB_WIN32_BIN}/${name}.exe]==])\n"
       "set(VEMB_LIST [==[${CMAKE_BINARY_DIR}/wine-tests/${name}.list]==])\n"
       "set(VEMB_RUNNER [==[${CMAKE_SOURCE_DIR}/tools/wine-run]==])\n"
       "set(VEMB_LABELS [==[${labels}]==])\n"
       "set(VEMB_TIMEOUT ${timeout})\n"
       "include([==[${CMAKE_SOURCE_DIR}/tests/wine/list-tests.cmake]==])\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endforeach()
