/* Controls of the Delete Designs dialog (108) of its own; the list, the preview, the
   selected-designs label and the buttons of the two memories have the ids shared with the
   Receive Designs dialog (resource.h). */
#ifndef VEMB_DELETE_DESIGNS_RES_H
#define VEMB_DELETE_DESIGNS_RES_H

#define IDC_DELETE_SELECT_ALL     1011

#endif
