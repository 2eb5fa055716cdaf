# Registers the Wine test programs of the cross-build with this (native) ctest run: one
# ctest test per GoogleTest case (TEST / TEST_F written on one line), each run in its own
# Wine process by tools/wine-run, so a hung case fails alone. The cases share one Wine
# prefix (registry, files beside the programs), so they run one at a time.
file(GLOB VEMB_WINE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*_test.cpp)
foreach(src ${VEMB_WINE_TESTS})
  get_filename_component(name ${src} NAME_WE)
  file(STRINGS ${src} lines REGEX "^TEST(_F)?\\( *[A-Za-z0-9_]+ *, *[A-Za-z0-9_]+ *\\)")
  foreach(line ${lines})
    string(REGEX REPLACE "^TEST(_F)?\\( *([A-Za-z0-9_]+) *, *([A-Za-z0-9_]+) *\\).*" "\\2.\\3" case "${line}")
    add_test(NAME wine.${name}.${case}
             COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-run ${VEMB_WIN32_BIN}/${name}.exe
                     --gtest_filter=${case} --gtest_color=no)
    set_tests_properties(wine.${name}.${case} PROPERTIES RESOURCE_LOCK wineprefix TIMEOUT 180
                         LABELS wine)
  endforeach()
endforeach()
