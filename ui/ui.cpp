// The thin Win32 layer of the windows.
