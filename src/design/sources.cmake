# Sources of this subsystem: vemb_pure(...) for Win32-free files, vemb_win32(...) for the rest.
vemb_pure(design_file.cpp palette.cpp stitch_walk.cpp)
vemb_win32(design_io.cpp preview.cpp)
