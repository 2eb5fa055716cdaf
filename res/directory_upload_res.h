/* Controls of the progress dialog of the directory upload and the preview fetch (105). */
#ifndef VEMB_DIRECTORY_UPLOAD_RES_H
#define VEMB_DIRECTORY_UPLOAD_RES_H

#define IDC_UPLOAD_PROGRESS   1007
#define IDC_UPLOAD_TEXT       1017

#endif
