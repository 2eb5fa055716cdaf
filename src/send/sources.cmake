# Sources of this subsystem: vemb_pure(...) for Win32-free files, vemb_win32(...) for the rest.
vemb_pure(send_list.cpp design_name.cpp selection.cpp)
vemb_win32(pending_exports.cpp)
