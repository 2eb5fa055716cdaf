/* Controls of the Confirm Machine's Version dialog (IDD_MACHINE_VERSION). */
#ifndef VEMB_MACHINE_VERSION_RES_H
#define VEMB_MACHINE_VERSION_RES_H

#define IDC_VERSION_21        1030
#define IDC_VERSION_22        1031
#define IDC_VERSION_NOTE      1032

#endif
