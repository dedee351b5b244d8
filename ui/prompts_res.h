#pragma once
// Strings the prompts load from the program; their texts stand in app/res/jurnvalt.rc.
#define IDS_FILEDLG_TOOLONG 90
