#pragma once
// The preview renderer: draws a design's stitches in thread colours onto an off-screen
// surface the size of the preview box's client area and copies it into the box. Used by
// the design picker, Receive Designs and Delete Designs, always on the dialog's thread;
// only one surface exists at a time (the dialogs are modal and never open together).
#include <windows.h>

#include "design/palette.h"
#include "resource.h"  // IDC_PREVIEW_BOX, IDC_HOOP_LABEL

// Every dialog that previews has the preview box IDC_PREVIEW_BOX (a sunken static with a
// client edge: 3 pixels of border on each side) and the hoop label IDC_HOOP_LABEL below it.

// From the dialog's WM_INITDIALOG, before anything is drawn.
void CreatePreviewSurface(HWND dialog);
// After the export's dialog has returned.
void DeletePreviewSurface();
// Draws the design file at `path` (also a preview data file) and copies it into the box:
// 1. 0 when the file cannot be read, is not a design the renderer can walk, or memory
// cannot be had; then nothing on the screen has changed.
int DrawDesignPreview(HWND dialog, const char *path);
// Light grey box, hoop label " ".
void ClearPreview(HWND dialog);
// Copies the surface into the box again (on WM_PAINT).
void ShowPreview(HWND dialog);

// The surface's device context, for tests that read its pixels back; null when none.
HDC PreviewSurfaceDC();
