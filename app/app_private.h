#pragma once
// app/app_private.h: what start-up, MainWindow, its dressing and its menus share.
#include <windows.h>
#include "app/app.h"

extern HWND MainWindow;
// The single-instance mutex and MainWindow's window property share this name.
extern const char InstanceName[];
// The painted labels' font, made with BoldFont from the dialog font.
extern HFONT NormalFont;

// Painted labels and select-on-focus edits.
void SaveEditProcedure(HWND hwnd);
void SubclassEdits(HWND hwnd);
void RestoreEdits(HWND hwnd);
void PaintDressing(HWND hwnd);

// Toolbar, status bar, tooltips and menu state.
void PrepareToolbarButtons();
void CreateToolbarAndStatusBar(HWND hwnd);
// The system's colours changed: the toolbar and the status bar repaint only when told.
void ForwardColourChange(WPARAM wParam, LPARAM lParam);
void CreateTooltips(HWND hwnd);
void DestroyTooltips();
void ApplyGreyingRule(HWND hwnd, HMENU popup);
void ShowMenuHelp(HWND hwnd, WPARAM wParam, LPARAM lParam);
