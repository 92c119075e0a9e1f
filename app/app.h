#pragma once
#include <windows.h>

extern HINSTANCE AppInstance;
extern HWND MainWindow;

// Fonts and colours that the list and the painted labels draw with.
extern HFONT NormalFont;
extern HFONT BoldFont;
extern COLORREF HighlightTextColour;
extern COLORREF WindowTextColour;
extern COLORREF HighlightColour;
extern COLORREF WindowColour;
extern COLORREF ButtonFaceColour;
extern COLORREF ButtonTextColour;

int RunKorvanel(HINSTANCE instance);
INT_PTR CALLBACK MainDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Painted labels and select-on-focus edits.
void SaveEditProcedure(HWND hwnd);
void SubclassEdits(HWND hwnd);
void RestoreEdits(HWND hwnd);
void PaintDressing(HWND hwnd);

// Toolbar, status bar, tooltips and menu state.
void PrepareToolbarButtons();
void CreateToolbarAndStatusBar(HWND hwnd);
void CreateTooltips(HWND hwnd);
void DestroyTooltips();
void ApplyGreyingRule(HWND hwnd, HMENU popup);
void ShowMenuHelp(HWND hwnd, WPARAM wParam, LPARAM lParam);
DWORD CommonControlsVersion();             // MAKELONG(minor, major), 0 when unknown
DWORD LibraryVersion(const char* library); // the same, from any library's DllGetVersion
