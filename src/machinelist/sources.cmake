# Sources of this subsystem: vemb_pure(...) for Win32-free files, vemb_win32(...) for the rest.
vemb_pure(directory_info.cpp)
