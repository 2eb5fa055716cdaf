# Sources of this subsystem: vemb_pure(...) for Win32-free files, vemb_win32(...) for the rest.
vemb_pure(send_list.cpp design_name.cpp selection.cpp send_checks.cpp)
vemb_win32(send_state.cpp send_worker.cpp check_files_dlg.cpp name_dlg.cpp
           send_designs_dlg.cpp direct_download.cpp)
vemb_win32(picker_export.cpp picker_dlg.cpp picker_select.cpp picker_send_list.cpp)
