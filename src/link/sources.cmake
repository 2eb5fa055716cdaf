# Sources of this subsystem: vemb_pure(...) for Win32-free files, vemb_win32(...) for the rest.
vemb_pure(usb_gate.cpp)
vemb_win32(usb_link.cpp settings.cpp comm_settings_dlg.cpp machine_version_dlg.cpp)
