# Sources of this subsystem: vemb_pure(...) for Win32-free files, vemb_win32(...) for the rest.
vemb_win32(delete_dlg.cpp delete_worker.cpp)
