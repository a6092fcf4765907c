// Resource identifiers of Setup.exe. Chinese identifiers; LocalControlId adds
// 1000 for the English template and its labels. Shared by the .rc file (plain
// #defines, windres reads this) and the C++ code.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_AUTOUPDATE_DIALOG 102

// Step labels, in identifier order (on screen 143 stands above 142).
#define IDC_STEP_WAIT_CONTROL 140
#define IDC_STEP_START 141
#define IDC_STEP_COLLECT 142
#define IDC_STEP_TEMP_PARAMS 143
#define IDC_STEP_CLEAR_OLD 144
#define IDC_STEP_COPY_FILES 145
#define IDC_STEP_COPY_OTHER 146
#define IDC_STEP_BACKUP 147
#define IDC_STEP_TRANSFER 148
#define IDC_STEP_DRIVERS 149
#define IDC_STEP_FINISHED 150
#define IDC_STEP_REBOOT 151
