// Serial link library of the Loomstar machine simulator (VembSio.dll). The line opens
// only on the port the simulated machine is on (port= in sim.ini, COM1 by default); every
// sequence run without an open line answers SIM_ERR_PORT.
#include <string.h>

#include "link_ops.h"

using namespace linksim;

namespace {

LinkState g_line;

Link SerialLink()
{
    return {g_line.IsOpen() ? SIM_OK : SIM_ERR_PORT, g_line.Cancel()};
}

}  // namespace

extern "C" {

int __stdcall SIO_InitializeIO(const char *port, int speed, HANDLE cancel)
{
    Call call("SIO_InitializeIO");
    call.Text("port", port).Num("speed", speed).Flag("cancel", cancel != NULL);
    int code;
    if (!call.Forced(&code, NULL))
        code = port && _stricmp(port, LoadFaults().port.c_str()) == 0 ? SIM_OK : SIM_ERR_PORT;
    g_line.Set(code == SIM_OK, code == SIM_OK ? cancel : NULL);
    return call.Finish(code);
}

// Closes the line whatever a forced failure answers: the caller ignores the result.
int __stdcall SIO_TerminateIO(void)
{
    Call call("SIO_TerminateIO");
    int code;
    if (!call.Forced(&code, NULL))
        code = SIM_OK;
    g_line.Set(false, NULL);
    return call.Finish(code);
}

int __stdcall Protocol_Seq_Download(int speed, DesignEntry *list, int count, DWORD *detail,
                                    VembProgressCallback progress)
{
    Call call("Protocol_Seq_Download");
    call.Num("speed", speed).Num("count", count).Flag("progress", progress != NULL);
    call.Entries(list, count);
    // The serial machine takes a list closed early as complete.
    return RunDownload(call, SerialLink(), list, count, detail, progress, SIM_OK);
}

int __stdcall Protocol_Seq_Download_Direct(int speed, DWORD data, DWORD size, const char *name, int location,
                                           DWORD *detail, VembProgressCallback progress)
{
    Call call("Protocol_Seq_Download_Direct");
    call.Num("speed", speed).Num("size", size).Text("name", name).Num("location", location);
    call.Flag("progress", progress != NULL);
    return RunDirectDownload(call, SerialLink(), data, size, name, location, detail, progress);
}

int __stdcall Protocol_Seq_DirUpload(int speed, const char *path, int location, DWORD *detail,
                                     VembProgressCallback progress)
{
    Call call("Protocol_Seq_DirUpload");
    call.Num("speed", speed).Text("path", path).Num("location", location).Flag("progress", progress != NULL);
    return RunDirUpload(call, SerialLink(), path, location, detail, progress);
}

int __stdcall Protocol_Seq_Upload(int speed, DesignEntry *list, int count, DWORD *detail,
                                  VembProgressCallback progress)
{
    Call call("Protocol_Seq_Upload");
    call.Num("speed", speed).Num("count", count).Flag("progress", progress != NULL);
    call.Entries(list, count);
    return RunUpload(call, SerialLink(), list, count, detail, progress);
}

int __stdcall Protocol_Seq_Delete(BYTE location, BYTE number, DWORD *detail, VembBusyCallback busy)
{
    Call call("Protocol_Seq_Delete");
    call.Num("location", location).Num("number", number).Flag("busy", busy != NULL);
    return RunDelete(call, SerialLink(), location, number, detail, busy);
}

int __stdcall DisplayMessageByReturnCode(HWND owner, const char *caption, int code, DWORD detail)
{
    Call call("DisplayMessageByReturnCode");
    call.Text("caption", caption).Num("code", code).Num("detail", detail);
    return RunMessage(call, owner, caption, code, detail);
}

}  // extern "C"
