#pragma once

#define IDD_ABOUT        100
#define IDD_MAIN         101
#define IDB_REFRESH      103
#define IDB_CAL          104
#define IDR_MAIN_MENU    104
#define IDI_KORVANEL     105
#define IDR_ACCELERATORS 106
#define IDD_DIAGNOSIS    107
#define IDD_PROPERTIES   108
#define IDD_ENTRY_NAME   109
#define IDD_RESTORE_PREVIEW 110

#define IDS_TOOLS_MENU_KEY   1
#define IDS_VERSION_PREFIX   20
#define IDS_FILE_DESCRIPTION 2000
#define IDS_LEGAL_COPYRIGHT  2001
#define IDS_COMMENTS         2002

#define IDC_NAME        1000
#define IDC_TOOL_LIST   1001
#define IDC_MENU_TEXT   1002
#define IDC_EXE_PATH    1003
#define IDC_BROWSE      1004
#define IDC_STATUS_TEXT 1005
#define IDC_STATUS_BAR  201
#define IDC_TOOLBAR     3000
// The labels made at run time that only screen readers read, in every window that has them.
#define IDC_SCREEN_READER_LABEL 1099

#define IDC_ABOUT_MAIL      1001
#define IDC_ABOUT_HOME_PAGE 1002
#define IDC_ABOUT_TITLE     2000
#define IDC_ABOUT_COPYRIGHT 2001
#define IDC_ABOUT_COMMENTS  2002
#define IDC_ABOUT_MENU      2003
#define IDC_REPORT          1010

// The プロパティ dialog, whose first three fields take the main window's ids for the same values.
#define IDC_TYPE              1020
#define IDC_CMD_ARGS          1021
#define IDC_CMD_ARGS_MENU     1022
#define IDC_ARGS              1023
#define IDC_ARGS_MENU         1024
#define IDC_CURRENT_DIRECTORY 1025
#define IDC_BROWSE_FOLDER     1026
#define IDC_MODAL             1027
#define IDC_HELP_FILE         1028
#define IDC_BROWSE_HELP_FILE  1029
#define IDC_HELP_TOPIC        1030
#define IDC_OTHER_VALUES      1031
#define IDC_HINT              1032
// The name dialog of 名前の変更 and 複製.
#define IDC_OLD_NAME  1040
#define IDC_NEW_NAME  1041
#define IDC_NAME_NOTE 1042
// The preview of a restore or of a copy of every entry.
#define IDC_PREVIEW_NOTE 1050
#define IDC_PREVIEW_LIST 1051

#define IDT_CAL      499
#define IDT_REFRESH  500
#define IDT_REGISTER 501
#define IDT_DELETE   502

#define IDM_EXIT              40004
#define IDM_REGISTER          40005
#define IDM_DELETE            40006
#define IDM_REFRESH           40007
#define IDM_ABOUT             40008
#define IDM_REGISTER_SELF     40009
// Accelerators only, for the message loop to tell Tab and Shift+Tab apart.
#define IDM_TAB               40018
#define IDM_BACK_TAB          40019
#define IDM_FOCUS_NAME        40020
#define IDM_FOCUS_MENU_TEXT   40022
#define IDM_FOCUS_EXE_PATH    40023
#define IDM_FOCUS_STATUS_TEXT 40024
#define IDM_README            40025
#define IDM_IMPORT            40026
#define IDM_EXPORT            40027
#define IDM_OPEN              40028
#define IDM_CAL               40029
#define IDM_HISTORY           40030
#define IDM_UNDO              40031
#define IDM_BACKUP            40032
#define IDM_COPY_TO_OTHER     40033
#define IDM_DIAGNOSE          40034
#define IDM_PROPERTIES        40035
#define IDM_RENAME            40036
#define IDM_DUPLICATE         40037
#define IDM_RESTORE           40038
#define IDM_COPY_ALL_TO_OTHER 40039
