/* Controls of the Check Files dialog (IDD_CHECK_FILES). */
#ifndef VEMB_CHECK_FILES_RES_H
#define VEMB_CHECK_FILES_RES_H

#define IDC_CHECK_FILES_TEXT  1017

#endif
