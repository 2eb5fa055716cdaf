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
    int code = call.ForcedOr(port && _stricmp(port, LoadFaults().port.c_str()) == 0 ? SIM_OK : SIM_ERR_PORT);
    g_line.Set(code == SIM_OK, code == SIM_OK ? cancel : NULL);
    return call.Finish(code);
}

// Closes the line whatever a forced failure answers: the caller ignores the result.
int __stdcall SIO_TerminateIO(void)
{
    Call call("SIO_TerminateIO");
    g_line.Set(false, NULL);
    return call.Finish(call.ForcedOr(SIM_OK));
}

int __stdcall Protocol_Seq_Download(int speed, DesignEntry *list, int count, DWORD *detail,
                                    VembProgressCallback progress)
{
    // The serial machine takes a list closed early as complete.
    Call call("Protocol_Seq_Download");
    return RunDownload(call.Num("speed", speed), SerialLink(), list, count, detail, progress, SIM_OK);
}

int __stdcall Protocol_Seq_Download_Direct(int speed, DWORD data, DWORD size, const char *name, int location,
                                           DWORD *detail, VembProgressCallback progress)
{
    Call call("Protocol_Seq_Download_Direct");
    return RunDirectDownload(call.Num("speed", speed), SerialLink(), data, size, name, location, detail, progress);
}

int __stdcall Protocol_Seq_DirUpload(int speed, const char *path, int location, DWORD *detail,
                                     VembProgressCallback progress)
{
    Call call("Protocol_Seq_DirUpload");
    return RunDirUpload(call.Num("speed", speed), SerialLink(), path, location, detail, progress);
}

int __stdcall Protocol_Seq_Upload(int speed, DesignEntry *list, int count, DWORD *detail,
                                  VembProgressCallback progress)
{
    Call call("Protocol_Seq_Upload");
    return RunUpload(call.Num("speed", speed), SerialLink(), list, count, detail, progress);
}

int __stdcall Protocol_Seq_Delete(BYTE location, BYTE number, DWORD *detail, VembBusyCallback busy)
{
    Call call("Protocol_Seq_Delete");
    return RunDelete(call, SerialLink(), location, number, detail, busy);
}

int __stdcall DisplayMessageByReturnCode(HWND owner, const char *caption, int code, DWORD detail)
{
    Call call("DisplayMessageByReturnCode");
    return RunMessage(call, owner, caption, code, detail);
}

}  // extern "C"
