#pragma once
// About box (range 3100-3149; 3150-3199 are the document commands' strings, doccmds_res.h).
#define IDD_ABOUT 3100
#define IDT_ABOUT_VERSION 3101
#define IDB_ABOUT_OK 3102
#define IDT_ABOUT_HOME 3103
#define IDT_ABOUT_MAIL 3104
#define IDB_ABOUT_PICTURE 3105

#define IDS_ABOUT_HOMEHINT 3120
#define IDS_ABOUT_MAILHINT 3121
