// Resource identifiers of Velnara: dialog templates, controls, icon, strings
// and the About entry of the main dialog's system menu. Included by the
// resource script and by the dialog classes, so plain #defines only.
#pragma once

// Dialog templates, the application icon and the About entry's text.
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_VELNARA_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_RENAME 131

// Controls of the main dialog (template 102).
#define IDC_SAVE 3
#define IDC_RESET 4
#define IDC_PORT_TREE 1002

// Controls of the rename dialog (template 131).
#define IDC_OLD_NAME 1003
#define IDC_NEW_NAME 1004

// The About command appended to the main dialog's system menu. System
// commands of our own must keep the low four bits clear and stay below
// 0xF000, where the system's own SC_* commands start.
#define IDM_ABOUTBOX 0x0010

// Static controls that nothing refers to.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
