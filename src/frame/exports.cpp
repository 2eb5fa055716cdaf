// The exports that belong to the frame itself. The other exports live with their
// subsystems (settings and version in link, sending in send, receiving in receive,
// deleting in delete).
#include "VembDlg.h"
#include "frame/module.h"

extern "C" UINT WINAPI GetTransferStatus(void)
{
    return g_transferStatus;
}
