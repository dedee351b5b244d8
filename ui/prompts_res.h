#pragma once
// Strings of the prompts layer; their texts stand in ui/res/prompts.rc. The layer owns the
// string IDs 80 to 95 (one block of the string table).
#define IDS_FILEDLG_TOOLONG 90
