# Sources of this subsystem: vemb_pure(...) for Win32-free files, vemb_win32(...) for the rest.
# dllmain.cpp belongs to the DLL target alone (cmake/Win32.cmake).
vemb_win32(module.cpp controls.cpp handles.cpp sync.cpp transfer_frame.cpp exports.cpp)
