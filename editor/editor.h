#pragma once
#include <windows.h>
#include "store/store.h"

// What the list draws its items with: MainWindow makes the bold font when it is created and
// reloads the colours whenever the system's colours change.
extern HFONT BoldFont;
void LoadListColours();

void RefreshToolList(HWND hwnd);
void SubclassToolList(HWND hwnd);
void RestoreToolList(HWND hwnd);
void ShowSelectedEntry(HWND hwnd);
// The entries in list order, as the last refresh read them; null past the end or for no selection.
int ToolEntryCount(HWND hwnd);
const ToolEntry* ToolEntryAt(HWND hwnd, int index);
const ToolEntry* SelectedToolEntry(HWND hwnd);
void MeasureToolItem(MEASUREITEMSTRUCT* item);
BOOL DrawToolItem(const DRAWITEMSTRUCT* item);
void FreeToolItem(const DELETEITEMSTRUCT* item);

// Register, delete, open and self-registration.
void RegisterFields(HWND hwnd);
void DeleteSelectedEntry(HWND hwnd);
void OpenSelectedEntry(HWND hwnd);
void RegisterSelf(HWND hwnd);

// Pre-filling the fields from a program file.
void FillFieldsFromFile(HWND hwnd, const char* path);
void BrowseForProgram(HWND hwnd);
void TakeDroppedFile(HWND hwnd, HDROP drop);
