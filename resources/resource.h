// Resource ids of kestrove.exe: dialogs, controls, menus, bitmap and icons.
// The numbers are fixed; other programs and stored settings never see them,
// but the tests drive the windows by them.
#pragma once

// ---- Icons (index 0 the program, index 1 the cp3 document: ",1") ----------
#define IDI_PROGRAM 1
#define IDI_DOCUMENT 2

// ---- Dialogs ---------------------------------------------------------------
#define IDD_PROGRESS 9
#define IDD_MAIN 101
#define IDD_KEY_CREATION 104
#define IDD_UNLOCK 108
#define IDD_KEY_CHOICE 109
#define IDD_OPTIONS 110
#define IDD_DESTINATION 115
#define IDD_DETAIL_DOUBLE_CLICK 118
#define IDD_DETAIL_REENCRYPT 119
#define IDD_CAUTIONS 120
#define IDD_MONITOR 117
#define IDD_OVERWRITE 124
#define IDD_OPERATION_CHOICE 126
#define IDD_SAVE_CONFLICT 127
#define IDD_KEY_CHOICE_REENCRYPT 128

// ---- Menus and their items -------------------------------------------------
#define IDM_MAIN_POPUP 112      // "メニュー" > "オプション設定"
#define IDM_OPTIONS_ITEM 113
#define IDM_OPERATION 127       // "暗号化/復号化"
#define IDM_ENCRYPT_ITEM 128    // "暗号化を行う"
#define IDM_DECRYPT_ITEM 129    // "復号化を行う"

// ---- Bitmap ----------------------------------------------------------------
#define IDB_PICTURE 106

// ---- Controls shared by several dialogs -------------------------------------
#ifndef IDOK
#define IDOK 1
#define IDCANCEL 2
#endif
#define IDC_PASSWORD 1007       // 104, 108: password field
#define IDC_KEY_LIST 1037       // 109, 128: the keys

// ---- Main window (101) -------------------------------------------------------
#define IDC_ENCRYPT 1008
#define IDC_DECRYPT 1009
#define IDC_CONFIRM_OVERWRITE 1016
#define IDC_INCLUDE_SUBFOLDERS 1017
#define IDC_DELETE_ORIGINAL 1018
#define IDC_UNUSED_LABEL 1021
#define IDC_STATUS_LINE 1022    // lock state, end of a run
#define IDC_PICTURE 1023
#define IDC_LOCK 1025
#define IDC_EXIT 1040
#define IDC_CHOOSE_DESTINATION 1042
#define IDC_USE_GROUP_KEY 1043
#define IDC_OPTIONS 1048
#define IDC_LAST_ACCESS 1052
#define IDC_HINT_LINE 1062      // hints; "ドライブ確認中・・・" while scanning
#define IDC_DRIVE_LINE 1063

// ---- Key creation (104) --------------------------------------------------------
#define IDC_DRIVE_TEXT 1064

// ---- Progress (9) ----------------------------------------------------------------
#define IDC_PROGRESS_FILE 1019
#define IDC_PROGRESS_STATUS 1020
#define IDC_STOP 1044
#define IDC_PROGRESS_HEADING 1046
#define IDC_STOP_HINT 1047
#define IDC_PROGRESS_BAR 1069

// ---- Overwrite question (124) ------------------------------------------------------
#define IDC_OVERWRITE_NO 1024
#define IDC_OVERWRITE_CANCEL 1040
#define IDC_OVERWRITE_YES_ALL 1066
#define IDC_OVERWRITE_YES 1067
#define IDC_OVERWRITE_FILE 1068

// ---- Destination folder (115) -------------------------------------------------------
#define IDC_BROWSE 1024
#define IDC_FOLDER_EDIT 1041

// ---- Options (110) ------------------------------------------------------------------
#define IDC_OPTION_SENDTO 1016
#define IDC_OPTION_DOUBLE_CLICK 1017
#define IDC_OPTION_REENCRYPT 1018
#define IDC_OPTION_SAME_KEY 1042
#define IDC_DETAIL_DOUBLE_CLICK 1024
#define IDC_DETAIL_REENCRYPT 1040
#define IDC_CAUTIONS 1053

// ---- Private window messages (WM_APP + n) ---------------------------------------------
#define MSG_START_RUN_OFFSET 1
#define MSG_RUN_DONE_OFFSET 2
#define MSG_RUN_STOPPED_OFFSET 3
#define MSG_RUN_FINISHED_OFFSET 10
#define MSG_RUN_FAILED_OFFSET 11
