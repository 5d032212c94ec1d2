#pragma once

// Every resource, control, command and timer id of Kelvra. Nothing else in the code spells these numbers.

// Templates, menus, icons
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_KELVRA_FORM = 101;
constexpr int IDR_MAINFRAME = 128;
constexpr int IDR_KELVRATYPE = 129;
constexpr int IDD_FIELDNAMES = 131;

// Dialog buttons
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Board form (template 101): the radio group in its tab order 1000, 1010, 1009, 1001..1008
constexpr int IDC_RADIO_STOP = 1000;
constexpr int IDC_RADIO_3 = 1001;
constexpr int IDC_RADIO_4 = 1002;
constexpr int IDC_RADIO_5 = 1003;
constexpr int IDC_RADIO_6 = 1004;
constexpr int IDC_RADIO_7 = 1005;
constexpr int IDC_RADIO_8 = 1006;
constexpr int IDC_RADIO_9 = 1007;
constexpr int IDC_RADIO_10 = 1008;
constexpr int IDC_RADIO_2 = 1009;
constexpr int IDC_RADIO_1 = 1010;
constexpr int IDC_NAME_FIRST = 1012; // name labels 1012..1021, timer index 0..9
constexpr int IDC_NAME_LAST = 1021;
constexpr int IDC_STOP_LABEL = 1022;
constexpr int IDC_TIME_FIRST = 1023; // time fields 1023..1032
constexpr int IDC_TIME_LAST = 1032;
constexpr int IDC_SHARE_FIRST = 1033; // share fields 1033..1042
constexpr int IDC_SHARE_LAST = 1042;
constexpr int IDC_TOTAL_TIME = 1043;
constexpr int IDC_BUTTON_MANUAL = 1044;
constexpr int IDC_TOTAL_LABEL = 1045;
constexpr int IDC_BUTTON_SPONSOR = 1047;

// Names dialog (template 131): edits and Reset boxes by row 1..10
constexpr int IDC_FIELD_1 = 1013;
constexpr int IDC_FIELD_2 = 1014;
constexpr int IDC_FIELD_3 = 1015;
constexpr int IDC_FIELD_4 = 1016;
constexpr int IDC_FIELD_5 = 1017;
constexpr int IDC_FIELD_6 = 1018;
constexpr int IDC_FIELD_7 = 1019;
constexpr int IDC_FIELD_8 = 1020;
constexpr int IDC_FIELD_9 = 1021;
constexpr int IDC_FIELD_10 = 1057;
constexpr int IDC_RESET_1 = 1048;
constexpr int IDC_RESET_2 = 1060;
constexpr int IDC_RESET_3 = 1068;
constexpr int IDC_RESET_4 = 1069;
constexpr int IDC_RESET_5 = 1070;
constexpr int IDC_RESET_6 = 1071;
constexpr int IDC_RESET_7 = 1072;
constexpr int IDC_RESET_8 = 1073;
constexpr int IDC_RESET_9 = 1074;
constexpr int IDC_RESET_10 = 1075;

// Commands of Kelvra
constexpr int ID_GOTO_SPONSOR = 32771;
constexpr int ID_GOTO_MANUAL = 32772;
constexpr int ID_GOTO_SITE = 32773;
constexpr int ID_GOTO_ARTICLES = 32774;
constexpr int ID_DONATE = 32775;
constexpr int ID_EDIT_FIELDNAMES = 32776;
constexpr int ID_RESET_ALL = 32777;
constexpr int ID_EDIT_UNDO_RESET = 32778;  // "Undo <the last change>"
constexpr int ID_EDIT_REDO_CHANGE = 32782; // "Redo <the change undone last>"
constexpr int ID_EDIT_RESUME = 32779;      // "Resume <name>"
constexpr int ID_EDIT_HISTORY = 32780;
constexpr int ID_EDIT_OPTIONS = 32781;

// Standard application commands and strings
constexpr int AFX_IDS_APP_TITLE = 57344;
constexpr int ID_FILE_NEW = 57600;
constexpr int ID_FILE_OPEN = 57601;
constexpr int ID_FILE_SAVE = 57603;
constexpr int ID_FILE_PRINT_SETUP = 57606;
constexpr int ID_FILE_PRINT = 57607;
constexpr int ID_FILE_PRINT_DIRECT = 57608;
constexpr int ID_FILE_PRINT_PREVIEW = 57609;
constexpr int ID_EDIT_COPY = 57634;
constexpr int ID_EDIT_CUT = 57635;
constexpr int ID_EDIT_PASTE = 57637;
constexpr int ID_EDIT_UNDO = 57643;
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_NEXT_PANE = 57680;
constexpr int ID_PREV_PANE = 57681;

// Window timers of the board
constexpr int ID_TIMER_TICK = 1312;
constexpr int ID_TIMER_LOOKUP = 1703;
constexpr int TICK_INTERVAL_MS = 1000;
constexpr int LOOKUP_DELAY_MS = 300;
