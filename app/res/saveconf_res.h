#pragma once
// Save settings dialog (range 2000-2099).
#define IDD_SAVECONF 2000
#define IDT_SAVECONF_GROUP 2001
#define IDC_SAVECONF_CU 2002
#define IDC_SAVECONF_LM 2003
#define IDC_SAVECONF_INI 2004
