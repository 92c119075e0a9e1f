#pragma once
// app/app.h: the program, for its entry point. Start-up, the single instance, the message loop
// and MainWindow, through which every command arrives.
#include <windows.h>

// Runs Korvanel on instance until MainWindow is closed; the process's exit code (0, or 1 when the
// window could not be made). A second instance brings the first forward and returns 0.
int RunKorvanel(HINSTANCE instance);

// Seams for the tests and the benchmark only, which make MainWindow in their own process.
extern HINSTANCE AppInstance;
INT_PTR CALLBACK MainDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
