#pragma once
// Main window (range 1000-1999). Command IDs double as the IDs of their "Caption\nHint" strings.

// Menus and controls.
#define IDM_MAIN 1000
#define IDM_LISTPOPUP 1001
#define IDB_TOOLBAR 1002
#define IDC_MAIN_LIST 1003
#define IDC_MAIN_STATUS 1004
#define IDC_MAIN_TOOLBAR 1005

// Commands (actions), by menu.
#define ID_FILE_NEW 1100
#define ID_FILE_OPEN 1101
#define ID_FILE_SAVE 1102
#define ID_FILE_SAVEAS 1103
#define ID_FILE_IMPORT 1104
#define ID_FILE_EXPORT 1105
#define ID_FILE_PROPS 1106
#define ID_FILE_EXIT 1107
#define ID_EDIT_ITEM 1110
#define ID_EDIT_COPY 1111
#define ID_EDIT_DELETE 1112
#define ID_EDIT_ALL 1113
#define ID_TOOL_UPDATE 1120
#define ID_TOOL_VERIFY 1121
#define ID_TOOL_CALC 1122
#define ID_OPTIONS 1130
#define ID_OPTS_SAVE 1131
#define ID_HELP_TIPS 1140
#define ID_HELP_ABOUT 1141

// Submenus that the window fills at start ("Hash type", "Hash encoding"), in the Edit menu
// and in the list's context menu.
#define ID_EDIT_HASHMENU 1150
#define ID_EDIT_CODEMENU 1151
#define ID_MENU_HASHMENU 1152
#define ID_MENU_CODEMENU 1153

// Strings.
#define IDS_TRAYTIP 1200
#define IDS_CAPTION 1201
#define IDS_COL_FILE 1210
#define IDS_COL_STATE 1211
#define IDS_COL_HASH 1212
#define IDS_COL_ENCODING 1213
#define IDS_COL_HASHVALUE 1214
#define IDS_COL_SIZE 1215
#define IDS_COL_DATE 1216
#define IDS_COL_TIME 1217
#define IDS_COL_NOTES 1218
#define IDS_SAVE_FAILED 1230
#define IDS_ASKSAVE 1231
