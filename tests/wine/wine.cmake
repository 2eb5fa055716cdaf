# Wine tests: each tests/wine/*_test.cpp becomes one i686 program linked with the
# module's code (white-box access), its resources, GoogleTest and the dialog driver
# of tests/wine/harness. The programs load VembDlg.dll and the simulator from bin/.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB VEMB_HARNESS_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/harness/*.cpp)
add_library(wine_harness STATIC ${VEMB_HARNESS_SOURCES})
target_include_directories(wine_harness PUBLIC ${CMAKE_SOURCE_DIR}/tests/wine/harness)
target_link_libraries(wine_harness PUBLIC vemb_core linksim_model uidrive gtest ${VEMB_SYSTEM_LIBS})
# The writer of sample designs (designgen/design_writer.h), for tests that need design files.
target_sources(wine_harness PRIVATE ${CMAKE_SOURCE_DIR}/tools/designgen/design_writer.cpp)
target_include_directories(wine_harness PUBLIC ${CMAKE_SOURCE_DIR}/tools)

file(GLOB VEMB_WINE_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*_test.cpp)
set(VEMB_WINE_PROGRAMS "")
foreach(src ${VEMB_WINE_TESTS})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src} ${VEMB_RC} ${CMAKE_SOURCE_DIR}/tests/wine/harness/main.cc)
  target_link_libraries(${name} PRIVATE wine_harness)
  target_link_options(${name} PRIVATE ${VEMB_STATIC_RUNTIME})
  add_dependencies(${name} VembDlg VembSio linksim_usb linksim_usb_noopening)
  list(APPEND VEMB_WINE_PROGRAMS ${name})
endforeach()
add_custom_target(wine_tests DEPENDS ${VEMB_WINE_PROGRAMS})
