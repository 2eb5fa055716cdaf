/* Controls of the receive progress dialog (106). */
#ifndef VEMB_RECEIVE_PROGRESS_RES_H
#define VEMB_RECEIVE_PROGRESS_RES_H

#define IDC_RECEIVE_PROGRESS_BAR  1007
#define IDC_RECEIVE_STATUS        1012
#define IDC_RECEIVE_ANIMATION     1013
#define IDC_RECEIVE_COUNTER       1014

#endif
