/* Template and resource ids of VembDlg, shared by the .rc files and the code. Each
   dialog's control ids live in its own header beside its .rc. */
#ifndef VEMB_RESOURCE_H
#define VEMB_RESOURCE_H

#define IDD_PICKER            101
#define IDD_SEND_DESIGNS      102
#define IDD_RECEIVE_DESIGNS   103
#define IDD_DIRECTORY_UPLOAD  105
#define IDD_RECEIVE_PROGRESS  106
#define IDD_DESIGN_NAME       107
#define IDD_DELETE_DESIGNS    108
#define IDD_DELETE_WAIT       109
#define IDD_COMM_SETTINGS     110
#define IDD_MACHINE_VERSION   115
#define IDD_CHECK_FILES       116

#define IDR_AVI_SENDING       111
#define IDR_AVI_RECEIVING     112

/* Controls shared by several dialogs. */
#define IDC_PREVIEW_BOX       1003
#define IDC_HOOP_LABEL        1026
/* The machine design list of Receive Designs and Delete Designs. */
#define IDC_DESIGN_LIST       1000
#define IDC_AUTO_PREVIEW      1001
#define IDC_SHOW_PREVIEW      1002
#define IDC_SELECTED_COUNT    1007
/* Their location buttons of the two memories. */
#define IDC_LOCATION_BUILT_IN   1008
#define IDC_LOCATION_ATA_CARD   1009
#define IDC_LOCATION_OPEN_SAVE  1029

#ifndef IDC_STATIC
#define IDC_STATIC            (-1)
#endif

#endif
