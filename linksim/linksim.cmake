# The Loomstar machine simulator: the two link libraries built from one machine model.
#   bin/VembSio.dll                 serial link library (imported by VembDlg.dll)
#   bin/usb/VEMBUSB.DLL             USB link library
#   bin/usb-noopening/VEMBUSB.DLL   the same without USB_Opening_Sequence (loader tests)
# Exports are undecorated: the .def files list the decorated __stdcall names and the
# DLLs link with --kill-at; import libraries come from dlltool -k over the same .def.
find_program(VEMB_DLLTOOL ${TOOLCHAIN_PREFIX}-dlltool REQUIRED)

# vemb_import_library(<name> <def> <dll file name>): lib/lib<name>.dll.a, and an
# imported target <name>_import to link against.
function(vemb_import_library name def dll)
  set(out ${CMAKE_BINARY_DIR}/lib/lib${name}.dll.a)
  add_custom_command(OUTPUT ${out}
                     COMMAND ${VEMB_DLLTOOL} -d ${def} -D ${dll} -k -l ${out}
                     DEPENDS ${def} VERBATIM)
  add_custom_target(${name}_implib DEPENDS ${out})
  add_library(${name}_import INTERFACE)
  add_dependencies(${name}_import ${name}_implib)
  target_link_libraries(${name}_import INTERFACE ${out})
endfunction()

file(GLOB LINKSIM_MODEL CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/linksim/model/*.cpp)
add_library(linksim_model STATIC ${LINKSIM_MODEL})
target_include_directories(linksim_model PUBLIC ${CMAKE_SOURCE_DIR}/linksim/model ${CMAKE_SOURCE_DIR}/src/link)
target_link_libraries(linksim_model PUBLIC user32 kernel32)

add_library(VembSio SHARED ${CMAKE_SOURCE_DIR}/linksim/sio.cpp ${CMAKE_SOURCE_DIR}/linksim/VembSio.def)
set_target_properties(VembSio PROPERTIES PREFIX "" OUTPUT_NAME VembSio
                      ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/unused)
target_compile_definitions(VembSio PRIVATE VEMBSIO_BUILD)
target_link_libraries(VembSio PRIVATE linksim_model)
target_link_options(VembSio PRIVATE ${VEMB_STATIC_RUNTIME} -Wl,--kill-at)
vemb_unloadable_dll(VembSio)
vemb_import_library(VembSio ${CMAKE_SOURCE_DIR}/linksim/VembSio.def VembSio.dll)

foreach(variant usb usb_noopening)
  string(REPLACE "_" "-" folder ${variant})
  add_library(linksim_${variant} SHARED ${CMAKE_SOURCE_DIR}/linksim/usb.cpp
                                        ${CMAKE_SOURCE_DIR}/linksim/VEMBUSB_${variant}.def)
  set_target_properties(linksim_${variant} PROPERTIES PREFIX "" OUTPUT_NAME VEMBUSB SUFFIX .DLL
                        RUNTIME_OUTPUT_DIRECTORY ${VEMB_BIN}/${folder}
                        ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/unused/${folder})
  target_link_libraries(linksim_${variant} PRIVATE linksim_model)
  target_link_options(linksim_${variant} PRIVATE ${VEMB_STATIC_RUNTIME} -Wl,--kill-at)
  vemb_unloadable_dll(linksim_${variant})
endforeach()
target_compile_definitions(linksim_usb_noopening PRIVATE LINKSIM_NO_OPENING)

# simctl.exe: lists, seeds and resets the simulated machine from the command line.
add_executable(simctl ${CMAKE_SOURCE_DIR}/linksim/simctl.cpp)
target_link_libraries(simctl PRIVATE linksim_model)
target_link_options(simctl PRIVATE ${VEMB_STATIC_RUNTIME})
