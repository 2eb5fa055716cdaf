/* A host written against the SDK alone (VembDlg.h and the import library): it loads
   VembDlg.dll through its imports and asks the two queries. */
#include <stdio.h>

#include "VembDlg.h"

int main(void)
{
    UINT status = GetTransferStatus();
    int version = GetVersionCode();
    printf("transfer status %u, version code %d\n", status, version);
    return status == 0 && (version == -1 || version >= 1) ? 0 : 1;
}
