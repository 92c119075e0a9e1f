#pragma once
// editor/editor.h: the tool list and the commands that change or use it, for MainWindow (app) and
// the exchange. Each command takes MainWindow as hwnd, runs to its end and reports its own
// failures and warnings.
#include <windows.h>
#include "store/store.h"

// The four fields take 256 characters typed, and are read into 256 bytes with the terminator,
// which is also what a registry text of ours may hold.
enum { FIELD_CHARACTERS = 256, FIELD_SIZE = 256 };

// Made by MainWindow from its dialog font, given to the name field and deleted with the window;
// declared here because the list draws its selected item with it.
extern HFONT BoldFont;
// The list's six system colours, read again on each WM_SYSCOLORCHANGE (MainWindow sends itself
// one when it is created).
void LoadListColours();

// Empties the list and the four fields and reads every entry from the registry again; a key that
// cannot be opened leaves the list empty.
void RefreshToolList(HWND hwnd);
void SubclassToolList(HWND hwnd);
void RestoreToolList(HWND hwnd);
// Fills the four fields from the selected entry, or empties them when there is none.
void ShowSelectedEntry(HWND hwnd);
// The entries in list order, as the last refresh read them; the list owns them, and a refresh
// frees them. Null past the end, or when nothing is selected.
int ToolEntryCount(HWND hwnd);
const ToolEntry* ToolEntryAt(HWND hwnd, int index);
const ToolEntry* SelectedToolEntry(HWND hwnd);
// The owner-drawn list's messages, forwarded by MainWindow; FreeToolItem frees the item's entry.
void MeasureToolItem(MEASUREITEMSTRUCT* item);
BOOL DrawToolItem(const DRAWITEMSTRUCT* item);
void FreeToolItem(const DELETEITEMSTRUCT* item);

// Register (after warnings for empty fields and a question before overwriting), delete (after a
// question), open with the shell, and self-registration.
void RegisterFields(HWND hwnd);
void DeleteSelectedEntry(HWND hwnd);
void OpenSelectedEntry(HWND hwnd);
void RegisterSelf(HWND hwnd);

// Pre-fill the four fields from a program chosen in the Browse dialog or dropped on MainWindow;
// TakeDroppedFile finishes the drop.
void BrowseForProgram(HWND hwnd);
void TakeDroppedFile(HWND hwnd, HDROP drop);
