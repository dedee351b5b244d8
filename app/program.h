#pragma once
#include <windows.h>

// The program block: initialises COM and the application, creates the main window, runs the
// message loop unless the window says not to, and returns the exit code.
int ProgramMain(HINSTANCE instance, int show);
