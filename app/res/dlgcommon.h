#pragma once
// Layout shared by the dialog templates (dialog units).
#define DLG_FONT 8, "MS Shell Dlg 2", 400, 0, 1
#define DLG_STYLE DS_SHELLFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
#define DLG_MARGIN 7
#define BUTTON_W 50
#define BUTTON_H 14
