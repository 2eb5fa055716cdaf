/* Controls of the deleting wait dialog (109). */
#ifndef VEMB_DELETE_WAIT_RES_H
#define VEMB_DELETE_WAIT_RES_H

#define IDC_DELETE_COUNTER        1014

#endif
