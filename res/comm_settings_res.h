/* Controls of the Communication Settings dialog (IDD_COMM_SETTINGS). */
#ifndef VEMB_COMM_SETTINGS_RES_H
#define VEMB_COMM_SETTINGS_RES_H

#define IDC_COMM_PORT         1001
/* The speed buttons, one radio group; each stands for a baud rate code. */
#define IDC_BAUD_4800         1023
#define IDC_BAUD_9600         1024
#define IDC_BAUD_19200        1004
#define IDC_BAUD_38400        1005
#define IDC_BAUD_57600        1006

#endif
