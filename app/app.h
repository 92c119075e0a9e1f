#pragma once
#include <windows.h>

extern HINSTANCE AppInstance;
extern HWND MainWindow;
// The single-instance mutex and MainWindow's window property share this name.
extern const char InstanceName[];

// The painted labels' font; the bold one belongs to the list (editor), which draws with it too.
extern HFONT NormalFont;

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
void ForwardColourChange(WPARAM wParam, LPARAM lParam);
void CreateTooltips(HWND hwnd);
void DestroyTooltips();
void ApplyGreyingRule(HWND hwnd, HMENU popup);
void ShowMenuHelp(HWND hwnd, WPARAM wParam, LPARAM lParam);
