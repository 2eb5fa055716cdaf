/* Controls of the Send Designs dialog (IDD_SEND_DESIGNS). */
#ifndef VEMB_SEND_DESIGNS_RES_H
#define VEMB_SEND_DESIGNS_RES_H

#define IDC_SEND_PROGRESS     1007
#define IDC_SEND_BUILTIN      1008
#define IDC_SEND_ATA_CARD     1009
#define IDC_SEND_STATUS       1012
#define IDC_SEND_ANIMATION    1013
#define IDC_SEND_COUNTER      1014
#define IDC_SEND_NAME         1028
#define IDC_SEND_OPEN_SAVE    1029

#endif
