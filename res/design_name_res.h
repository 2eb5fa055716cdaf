/* Controls of the Vbd Name dialog (IDD_DESIGN_NAME). */
#ifndef VEMB_DESIGN_NAME_RES_H
#define VEMB_DESIGN_NAME_RES_H

#define IDC_DESIGN_NAME_EDIT  1020

#endif
