/* Controls of the Receive Designs dialog (103) of its own; the list, Auto Preview, Show
   Preview, the preview box, the hoop label and the selected-designs label have the ids
   shared with the Delete Designs dialog (resource.h). */
#ifndef VEMB_RECEIVE_DESIGNS_RES_H
#define VEMB_RECEIVE_DESIGNS_RES_H

#define IDC_RECEIVE_SELECT_ALL    1005
#define IDC_RECEIVE_BUILT_IN      1008
#define IDC_RECEIVE_ATA_CARD      1009
#define IDC_RECEIVE_FOLDER        1021
#define IDC_RECEIVE_BROWSE        1022
#define IDC_RECEIVE_DESIGN_CARD   1028
#define IDC_RECEIVE_OPEN_SAVE     1029

#endif
