#pragma once
// app/app_private.h: what start-up, MainWindow, its dressing and its menus share.
#include <windows.h>
#include "app/app.h"

extern HWND MainWindow;
// MainWindow's window property, by which tools outside the program find it: 1 in the i686 build,
// 2 in the x86_64 build.
extern const char WindowPropertyName[];
// The painted labels' font, made with BoldFont from the dialog font.
extern HFONT NormalFont;

// Painted labels and select-on-focus edits.
void SaveEditProcedure(HWND hwnd);
void SubclassEdits(HWND hwnd);
void RestoreEdits(HWND hwnd);
void PaintDressing(HWND hwnd);
// The fields' labels as a screen reader finds them, and the name of the "..." button.
void NameControlsForScreenReaders(HWND hwnd);

// Toolbar, status bar, tooltips and menu state.
void PrepareToolbarButtons();
void CreateToolbarAndStatusBar(HWND hwnd);
// The system's colours changed: the toolbar and the status bar repaint only when told.
void ForwardColourChange(WPARAM wParam, LPARAM lParam);
void CreateTooltips(HWND hwnd);
void DestroyTooltips();
// The Tools popup's default item and its copy item, named for the other menu or removed.
void PrepareToolsMenu(HWND hwnd);
void ApplyGreyingRule(HWND hwnd, HMENU popup);
void ShowMenuHelp(WPARAM wParam, LPARAM lParam);

// Why an entry may not show in Cakewalk's menu, as a report to read and copy; changes nothing.
void ShowDiagnosis(HWND hwnd);
// プロパティ of the selected entry: every value Cakewalk reads, in a dialog whose OK writes only
// what the user changed, as one step of 元に戻す.
void ShowEntryProperties(HWND hwnd);
