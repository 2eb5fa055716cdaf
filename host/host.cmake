# The "Loomstar Link" demo host: one button per export of VembDlg.dll.
# The design it sends from memory comes from the sample design writer.
file(GLOB VEMB_HOST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/host/*.cpp ${CMAKE_SOURCE_DIR}/host/*.rc)
add_executable(LoomstarLink WIN32 ${VEMB_HOST_SOURCES} ${CMAKE_SOURCE_DIR}/tools/designgen/design_writer.cpp)
target_include_directories(LoomstarLink PRIVATE ${CMAKE_SOURCE_DIR}/include ${CMAKE_SOURCE_DIR}/tools)
target_link_libraries(LoomstarLink PRIVATE VembDlg_import uidrive comctl32 comdlg32 gdi32 user32 kernel32)
target_link_options(LoomstarLink PRIVATE ${VEMB_STATIC_RUNTIME})
add_dependencies(LoomstarLink VembDlg VembSio linksim_usb simctl)
