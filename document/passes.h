#pragma once
// Internals of the update and verify passes that tests reach into.
#include <windows.h>

// The folder listing of the new-file scan starts through this pointer (FindFirstFileW by
// default). Tests replace it to produce listing failures that a test machine cannot make on
// demand, such as a folder without access while running with administrator rights.
using TFindFirstFileFunc = HANDLE(WINAPI*)(LPCWSTR FileName, LPWIN32_FIND_DATAW FindData);
extern TFindFirstFileFunc PassFindFirstFile;
