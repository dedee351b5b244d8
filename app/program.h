#pragma once
#include <windows.h>

// Runs the program: creates the main window and the message loop. Returns the exit code.
int ProgramMain(HINSTANCE instance, int show);
