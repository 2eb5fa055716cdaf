# Registers the Wine test programs of the cross-build with this (native) ctest run: one
# ctest test per GoogleTest suite of each program, run under Wine by tools/wine-run.
# The tests share one Wine prefix (registry, files), so they run one at a time.
file(GLOB VEMB_WINE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*_test.cpp)
foreach(src ${VEMB_WINE_TESTS})
  get_filename_component(name ${src} NAME_WE)
  file(STRINGS ${src} lines REGEX "^(TEST|TEST_F)\\(")
  set(suites "")
  foreach(line ${lines})
    string(REGEX REPLACE "^TEST(_F)?\\(([A-Za-z0-9_]+),.*" "\\2" suite "${line}")
    list(APPEND suites ${suite})
  endforeach()
  list(REMOVE_DUPLICATES suites)
  foreach(suite ${suites})
    add_test(NAME wine.${name}.${suite}
             COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-run ${VEMB_WIN32_BIN}/${name}.exe
                     --gtest_filter=${suite}.* --gtest_color=no)
    set_tests_properties(wine.${name}.${suite} PROPERTIES RESOURCE_LOCK wineprefix TIMEOUT 300
                         LABELS wine)
  endforeach()
endforeach()
