# Sources of this subsystem: vemb_pure(...) for Win32-free files, vemb_win32(...) for the rest.
vemb_pure(receive_path.cpp)
vemb_win32(receive_dlg.cpp receive_worker.cpp)
