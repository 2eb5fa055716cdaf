/* Controls of the design picker's child template (IDD_PICKER), placed inside the common
   file-open dialog. */
#ifndef VEMB_PICKER_RES_H
#define VEMB_PICKER_RES_H

#define IDC_PICKER_LIST          1001
#define IDC_PICKER_SEND          1002
#define IDC_PICKER_REMOVE        1004
#define IDC_PICKER_ADD           1005
#define IDC_PICKER_CLEAR_ALL     1006
#define IDC_PICKER_TOTALS        1009
#define IDC_PICKER_ATA_CARD      1010
#define IDC_PICKER_BUILTIN       1018
#define IDC_PICKER_SEND_GROUP    1025
#define IDC_PICKER_OPEN_SAVE     1029
/* Where the common dialog puts its own controls: the id it reserves for this
   placeholder (stc32). */
#define IDC_PICKER_COMMON_PLACE  1119

#endif
