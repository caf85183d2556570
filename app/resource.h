// Resource and control identifiers of the dialog program. Shared by the resource script and
// the code, and read back by the GUI tests, so the numbers are part of the program's face.
#pragma once

#define IDR_MAINFRAME 128   // application icon: two images, 32x32 and 16x16, 16 colours
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101    // "&About...." in the system menu
#define IDD_VERSIONUP_DIALOG 102
#define IDD_PORTS 103          // the chooser of the output and input port

#define IDM_ABOUTBOX 0x0010 // system-menu command; the platform's own commands are 0xF000 and up

#define IDC_BROWSE 1000
#define IDC_FILENAME 1001
#define IDC_LOAD 1002
#define IDC_PROGRESS 1007
#define IDC_STATUS 1012
#define IDC_INPUT_PORT 1014
#define IDC_OUTPUT_PORT 1015
#define IDC_PORTS 1016         // "Ports..." opens the chooser
#define IDC_OUTPUT_LIST 1017   // the chooser's drop-down lists
#define IDC_INPUT_LIST 1018
#define IDC_PORT_GONE 1019     // the chooser's word that a port went while it was open
