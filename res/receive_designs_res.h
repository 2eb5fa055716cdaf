/* Controls of the Receive Designs dialog (103). The list, Auto Preview, Show Preview, the
   preview box, the hoop label, the selected-designs label and the buttons of the two
   memories have the ids shared with the Delete Designs dialog (resource.h). */
#ifndef VEMB_RECEIVE_DESIGNS_RES_H
#define VEMB_RECEIVE_DESIGNS_RES_H

#include "resource.h"

#define IDC_RECEIVE_SELECT_ALL    1005
#define IDC_RECEIVE_BUILT_IN      IDC_LOCATION_BUILT_IN
#define IDC_RECEIVE_ATA_CARD      IDC_LOCATION_ATA_CARD
#define IDC_RECEIVE_FOLDER        1021
#define IDC_RECEIVE_BROWSE        1022
#define IDC_RECEIVE_DESIGN_CARD   1028
#define IDC_RECEIVE_OPEN_SAVE     IDC_LOCATION_OPEN_SAVE

#endif
