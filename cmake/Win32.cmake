# The i686 cross-build: VembDlg.dll, the machine simulator's link libraries, the demo
# host and the Wine test programs. Everything lands in bin/ so DLLs sit beside the
# programs that load them; the USB library's variants live in sub-folders and a test
# copies the one it wants beside itself.
enable_language(RC)
set(VEMB_BIN ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${VEMB_BIN})
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${VEMB_BIN})
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)

add_compile_definitions(WINVER=0x0501 _WIN32_WINNT=0x0501 _WIN32_IE=0x0600 NOMINMAX)
add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-cast-function-type)
# Static runtime: the DLLs and programs import only Windows system DLLs and our own.
set(VEMB_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

set(VEMB_SYSTEM_LIBS comctl32 comdlg32 shell32 ole32 gdi32 user32 advapi32 kernel32)

# The DLLs a host loads and may free again (VembDlg.dll, the simulator's link libraries), made so
# that nothing they link keeps a handle or a TLS slot over an unload:
# - linked, and their own sources compiled, by the win32 thread model twins of the compilers. The
#   posix model brings its thread library (winpthreads) in statically, and that keeps a mutex,
#   events, the handles of the threads it has seen and TLS slots, which FreeLibrary does not give
#   back (a host loading the module around each call lost about five handles a load, and ran out
#   of TLS slots after some 150 loads). The code they link from the static libraries below,
#   shared with the posix-built tests, uses no thread support of the C++ library (std::thread,
#   std::mutex, std::call_once, thread_local) and compiles to the same code under both models.
#   GoogleTest needs std::mutex, so the test programs keep the posix compilers;
# - with src/frame/runtime_release.c, which gives back at unload the semaphores and TLS slots the
#   win32 model's runtime makes for its own static mutexes and never releases.
# Unloading.LoadingAndFreeingTheModuleKeepsNothing (tests/wine/discipline_test.cpp) proves it.
function(vemb_unloadable_dll target)
  set(swap ${CMAKE_SOURCE_DIR}/cmake/win32-thread-model)
  foreach(lang C CXX)  # behind the swap, the launcher the build has (ccache), if any
    set(launcher ${swap} ${CMAKE_${lang}_COMPILER_LAUNCHER})
    set_target_properties(${target} PROPERTIES ${lang}_COMPILER_LAUNCHER "${launcher}"
                          ${lang}_LINKER_LAUNCHER ${swap})
  endforeach()
  target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src/frame/runtime_release.c)
endfunction()

# ---- the machine simulator: VembSio.dll and VEMBUSB.DLL ----
include(${CMAKE_SOURCE_DIR}/linksim/linksim.cmake)

# ---- the module's code as a static library, shared by the DLL and the white-box tests ----
add_library(vemb_core STATIC ${VEMB_PURE_SOURCES} ${VEMB_WIN32_SOURCES})
target_compile_definitions(vemb_core PUBLIC VEMBDLG_BUILD)
target_include_directories(vemb_core PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/include
                                            ${CMAKE_SOURCE_DIR}/res)
target_link_libraries(vemb_core PUBLIC VembSio_import ${VEMB_SYSTEM_LIBS})

set(VEMB_RC ${CMAKE_SOURCE_DIR}/res/VembDlg.rc)
file(GLOB VEMB_RES_DEPS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/*)
# The version information takes the version from the header.
list(APPEND VEMB_RES_DEPS ${CMAKE_SOURCE_DIR}/include/VembDlg.h)
set_source_files_properties(${VEMB_RC} PROPERTIES OBJECT_DEPENDS "${VEMB_RES_DEPS}")

add_library(VembDlg SHARED ${CMAKE_SOURCE_DIR}/src/frame/dllmain.cpp
                           ${CMAKE_SOURCE_DIR}/src/frame/VembDlg.def ${VEMB_RC})
# CMake's own import library would lack the decorated __stdcall symbols: park it aside
# and make the hosts' import library from the .def.
set_target_properties(VembDlg PROPERTIES PREFIX "" OUTPUT_NAME VembDlg
                      ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/unused)
target_link_libraries(VembDlg PRIVATE vemb_core)
target_link_options(VembDlg PRIVATE ${VEMB_STATIC_RUNTIME} -Wl,--kill-at)
vemb_unloadable_dll(VembDlg)
vemb_import_library(VembDlg ${CMAKE_SOURCE_DIR}/src/frame/VembDlg.def VembDlg.dll)
add_dependencies(VembDlg VembDlg_implib)

# The import library for the Microsoft toolchain (COFF short import format): the hosts'
# objects refer to the decorated __stdcall symbols (_GetVersionCode@0), which -k binds to
# the undecorated export names. Debian installs the LLVM tools under versioned names too.
file(GLOB VEMB_LLVM_BINS /usr/lib/llvm-*/bin)
find_program(VEMB_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 HINTS ${VEMB_LLVM_BINS} REQUIRED)
set(VEMB_MSVC_IMPLIB ${CMAKE_BINARY_DIR}/lib/VembDlg.lib)
add_custom_command(OUTPUT ${VEMB_MSVC_IMPLIB}
                   COMMAND ${VEMB_LLVM_DLLTOOL} -m i386 -d ${CMAKE_SOURCE_DIR}/src/frame/VembDlg.def
                           -D VembDlg.dll -k -l ${VEMB_MSVC_IMPLIB}
                   DEPENDS ${CMAKE_SOURCE_DIR}/src/frame/VembDlg.def VERBATIM)
add_custom_target(VembDlg_msvc_implib ALL DEPENDS ${VEMB_MSVC_IMPLIB})

# ---- the dialog driver, shared by the Wine tests and the demo host's tour ----
file(GLOB VEMB_UIDRIVE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/uidrive/*.cpp)
add_library(uidrive STATIC ${VEMB_UIDRIVE_SOURCES})
target_include_directories(uidrive PUBLIC ${CMAKE_SOURCE_DIR}/tools/uidrive)
target_link_libraries(uidrive PUBLIC gdi32 user32 kernel32)

# ---- the demo host ----
include(${CMAKE_SOURCE_DIR}/host/host.cmake)

# ---- the Wine tests ----
include(${CMAKE_SOURCE_DIR}/tests/wine/wine.cmake)

# ---- the timed loops under Wine (make bench) ----
include(${CMAKE_SOURCE_DIR}/tools/bench/bench.cmake)

# ---- the host SDK: `make sdk` installs it into build/sdk ----
#   VembDlg.dll, include/VembDlg.h, lib/VembDlg.lib (import library for the Microsoft
#   toolchain), lib/libVembDlg.dll.a (for mingw-w64), lib/VembDlg.def (definition file),
#   simulator/ (the link libraries, simctl, their guide), link/ (the link library
#   interface, for whoever writes a real link library), docs/.
install(TARGETS VembDlg RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/include/VembDlg.h DESTINATION include)
install(FILES ${VEMB_MSVC_IMPLIB} ${CMAKE_BINARY_DIR}/lib/libVembDlg.dll.a
              ${CMAKE_SOURCE_DIR}/src/frame/VembDlg.def DESTINATION lib)
install(TARGETS VembSio simctl RUNTIME DESTINATION simulator)
install(FILES ${VEMB_BIN}/usb/VEMBUSB.DLL DESTINATION simulator/usb)
install(FILES ${CMAKE_SOURCE_DIR}/linksim/README.md DESTINATION simulator)
install(FILES ${CMAKE_SOURCE_DIR}/src/link/vemblink.h ${CMAKE_SOURCE_DIR}/src/link/design_entry.h DESTINATION link)
install(FILES ${CMAKE_SOURCE_DIR}/docs/HOST_GUIDE.md DESTINATION docs)

# ---- the release package: `make dist` writes dist/VembDlg-<version>-sdk.zip ----
# The version is the header's VEMBDLG_VERSION_MAJOR/MINOR/PATCH.
file(STRINGS ${CMAKE_SOURCE_DIR}/include/VembDlg.h VEMB_VERSION_LINES
     REGEX "^#define VEMBDLG_VERSION_(MAJOR|MINOR|PATCH) +[0-9]+$")
set(VEMB_VERSION "")
foreach(part MAJOR MINOR PATCH)
  string(REGEX MATCH "VEMBDLG_VERSION_${part} +([0-9]+)" found "${VEMB_VERSION_LINES}")
  if(NOT found)
    message(FATAL_ERROR "include/VembDlg.h lacks VEMBDLG_VERSION_${part}")
  endif()
  string(APPEND VEMB_VERSION ".${CMAKE_MATCH_1}")
endforeach()
string(SUBSTRING ${VEMB_VERSION} 1 -1 VEMB_VERSION)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/include/VembDlg.h)
add_custom_target(dist
                  COMMAND ${CMAKE_SOURCE_DIR}/tools/dist ${CMAKE_BINARY_DIR} ${VEMB_VERSION}
                          ${CMAKE_BINARY_DIR}/dist
                  USES_TERMINAL VERBATIM)
add_dependencies(dist VembDlg VembDlg_msvc_implib VembSio simctl linksim_usb)
