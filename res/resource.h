// Identifiers shared by the resource script and the code: the dialog templates, the
// icon and every control the code addresses. Read-only constants; no state.
#pragma once

#define IDI_LUMERIN 100

// The configuration dialog.
#define IDD_CONFIGURE 2003
#define IDC_FRACTAL_LIST 101
#define IDC_SLIDESHOW 102
#define IDC_COLOR0 103  // swatches 103 .. 112 show colors[0] .. colors[9]
#define IDC_COLOR9 112
#define IDC_PALETTE_LIST 113
#define IDC_PAUSE_TRACK 114
#define IDC_PAUSE_VALUE 115
#define IDC_BACKGROUND 116
#define IDC_WIDTH_TRACK 117
#define IDC_ITER_FROM 118
#define IDC_ITER_TO 119
#define IDC_ANGLE_TRACK 120
#define IDC_MONITORS_LIST 121
#define IDC_WIDTH_VALUE 1002
#define IDC_ANGLE_VALUE 1006
#define IDC_ABOUT 1008
#define IDC_ANGLE_LABEL 1011
#define IDC_ANGLE_UNIT 1012
#define IDC_WIDTH_LABEL 1013
#define IDC_WIDTH_UNIT 1014
#define IDC_PALETTE_LABEL 1015
#define IDC_FROM_LABEL 1016
#define IDC_TO_LABEL 1017
#define IDC_COLOUR_GROUP 1018
#define IDC_ANGLE_GROUP 1019
#define IDC_WIDTH_GROUP 1020
#define IDC_FRACTAL_LABEL 1023
#define IDC_MONITORS_LABEL 1024
#define IDC_HELP_BUTTON 2000

// The About box.
#define IDD_ABOUT 1021
#define IDC_WEBSITE 1026

// The maker's web site: the caption of the About box's button and the address it opens.
#define LUMERIN_WEB_ADDRESS "https://lumerin.example.org"
#define LUMERIN_NOTICE_LINE1 "Free to use and to share."
#define LUMERIN_NOTICE_LINE2 "No warranty."
