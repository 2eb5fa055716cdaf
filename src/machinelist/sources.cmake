# Sources of this subsystem: vemb_pure(...) for Win32-free files, vemb_win32(...) for the rest.
vemb_pure(directory_info.cpp progress_percent.cpp)
vemb_win32(design_list.cpp directory_upload.cpp list_dialog.cpp preview_fetch.cpp)
