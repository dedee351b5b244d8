#pragma once
// The main window's list (part of the main window's range: 1900-1949).

// State texts: IDS_STATE_BASE + state (1 "Not found" ... 8 "OK").
#define IDS_STATE_BASE 1900
#define IDS_STATE_NOTFOUND 1901
#define IDS_STATE_READERROR 1902
#define IDS_STATE_TOUCHED 1903
#define IDS_STATE_CHANGED 1904
#define IDS_STATE_UPDATED 1905
#define IDS_STATE_NEWFILE 1906
#define IDS_STATE_INVALID 1907
#define IDS_STATE_OK 1908
#define IDS_LIST_INDEX 1910
