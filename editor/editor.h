#pragma once
#include <windows.h>
#include "store/store.h"

void RefreshToolList(HWND hwnd);
void SubclassToolList(HWND hwnd);
void RestoreToolList(HWND hwnd);
void ShowSelectedEntry(HWND hwnd);
ToolEntry* SelectedToolEntry(HWND hwnd); // null when nothing is selected
void MeasureToolItem(MEASUREITEMSTRUCT* item);
BOOL DrawToolItem(const DRAWITEMSTRUCT* item);
void FreeToolItem(const DELETEITEMSTRUCT* item);

// Register, delete, open and self-registration.
void RegisterFields(HWND hwnd);
void DeleteSelectedEntry(HWND hwnd);
void OpenSelectedEntry(HWND hwnd);
void RegisterSelf(HWND hwnd);
void OpenWithShell(const char* path);
// Cuts a text that ends in the first byte of a double-byte character (code page 932) before it.
void DropDanglingLeadByte(char* text);

// Pre-filling the fields from a program file.
void BaseNameOf(char* path);
enum { VERSION_PREFIX_SIZE = 32 };
// "\StringFileInfo\" + language and code page as eight lowercase hex digits + "\".
void VersionStringPrefix(WORD language, WORD codePage, char* prefix);
void FillFieldsFromFile(HWND hwnd, const char* path);
void BrowseForProgram(HWND hwnd);
void TakeDroppedFile(HWND hwnd, HDROP drop);
