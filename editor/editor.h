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
// The icons are read afterwards, on a thread of their own, and arrive one by one as WM_TOOL_ICON,
// in list order; those of an older refresh are destroyed on arrival.
void RefreshToolList(HWND hwnd);
enum { WM_TOOL_ICON = WM_APP + 1 };
// MainWindow's WM_TOOL_ICON: the icon goes to its row, which alone is drawn again.
void TakeToolIcon(HWND hwnd, LPARAM lParam);
// The first list's icons wait until MainWindow is on the screen, for its WM_TIMER of this id.
enum { ICON_START_TIMER = 1 };
void OnIconStartTimer(HWND hwnd);
// At WM_DESTROY: no icon reaches the window any more, and those on their way are destroyed.
void StopIconReading(HWND hwnd);
// Once the message loop has ended: the thread reading icons ends, after the icon it is reading.
void EndIconReading();
void SubclassToolList(HWND hwnd);
void RestoreToolList(HWND hwnd);
// Fills the four fields from the selected entry, or empties them when there is none.
void ShowSelectedEntry(HWND hwnd);
// The entries in list order, as the last refresh read them; the list owns them, and a refresh
// frees them. Null past the end, or when nothing is selected.
int ToolEntryCount(HWND hwnd);
const ToolEntry* ToolEntryAt(HWND hwnd, int index);
const ToolEntry* SelectedToolEntry(HWND hwnd);
// Selects the item and fills the fields from it, as a click would; SelectEntryNamed the entry
// whose name names its key, in any letter case (nothing when there is none).
void SelectToolEntry(HWND hwnd, int index);
void SelectEntryNamed(HWND hwnd, const char* name);
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

// 元に戻す, several commands deep. Before a command changes the registry it records every entry
// key that names will touch in view (BeginUndoStep; false, after reporting why, when they could
// not be read whole or never could be: the command must then not run), and afterwards says how it
// ended (EndUndoStep: a command that failed before changing anything leaves no step, one that
// failed half-way leaves one like any other). The label names the entry, or the file of an
// import, in the menu.
enum UndoKind {
    UNDO_REGISTER,
    UNDO_DELETE,
    UNDO_IMPORT,
    UNDO_COPY,
    UNDO_PROPERTIES,
    UNDO_RENAME,
    UNDO_DUPLICATE,
    UNDO_RESTORE
};
bool BeginUndoStep(HWND hwnd, UndoKind kind, const char* label, RegistryView view,
                   const char* const* names, int count);
void EndUndoStep(bool succeeded);
// The menu item's text for the newest step, "&" doubled in the label, its name cut to 40 bytes;
// false when there is none.
enum { UNDO_MENU_TEXT_SIZE = 256 };
bool UndoMenuText(char* text, DWORD size);
// Restores the newest step in place, refreshes the list and selects the first entry brought back.
// Entries that something else changed since the step's command are named in a question first (No
// keeps the step), and after a Yes the registry is read again: entries changed while the box was
// open are named in another question, until nothing new has changed. A registry that cannot be
// read, or a restore that fails, is reported and the step kept.
void UndoLastStep(HWND hwnd);

// "64 ビット版" or "32 ビット版": the Cakewalk that reads view's menu; MenuName "64 ビット版
// Cakewalk のメニュー"...
const char* EditionName(RegistryView view);
const char* MenuName(RegistryView view);
// Copies the selected entry's whole key tree into the other build's menu (OtherView), after a
// question when an entry of that name is there already; one step of 元に戻す.
void CopySelectedToOtherMenu(HWND hwnd);
// Every entry of this menu into the other one, as a preview of each entry's state shows and the
// user checks; one step of 元に戻す.
void CopyAllToOtherMenu(HWND hwnd);
// A backup's entries (label: its file's name) into this copy's menu, as the preview shows and the
// user checks; one step of 元に戻す. A failure is reported naming the entry.
void RestoreEntries(HWND hwnd, const KeyRecord* incoming, const char* label);
// The entry keys of view's menu, each with its whole tree, into entries: the menu key's own values
// are no entry. ERROR_SUCCESS, or RecordToolsMenu's error with entries freed.
DWORD RecordMenuEntries(RegistryView view, KeyRecord* entries);
// One row of the preview: an entry of incoming in its order, then each that only present holds
// in its order; position is that of its item in its record. Names compare as the registry's do,
// trees by their digests.
enum PreviewState { PREVIEW_NEW, PREVIEW_CHANGED, PREVIEW_SAME, PREVIEW_ONLY_PRESENT };
enum { PREVIEW_NAME_CHARACTERS = 256 };
struct PreviewRow {
    wchar_t name[PREVIEW_NAME_CHARACTERS];
    PreviewState state;
    DWORD position;
};
// rows: a block of the global heap that the caller frees (null when there are none);
// ERROR_SUCCESS or AllocateArray's error.
DWORD ComparePreview(const KeyRecord* incoming, const KeyRecord* present, PreviewRow** rows,
                     int* count);

// The selected entry's name into TOOL_TEXT_SIZE bytes, copied because the list may be rebuilt
// while a box is open; false, after a warning, when nothing is selected (noSelection says what
// to select) or the name cannot be acted on (action: "削除", "編集"...).
bool TakeSelectedName(HWND hwnd, const char* noSelection, const char* action, char* name);

// プロパティ: what a field of the dialog shows of a stored value, and whether it may be edited (a
// value that is not exact text keeps its bytes: its field shows ShortValueForm, read-only).
bool ShownValueText(EntryValueId id, const StoredValue& value, char* text, DWORD size);
// Type's and Modal's list choices: 0 to 2 (ToolTypes, or Modal's 0 and 1), CHOICE_NONE for an
// absent value, CHOICE_KEEP for a stored value that is none of those, kept as it is.
enum { CHOICE_NONE = -1, CHOICE_KEEP = -2 };
int StoredChoice(EntryValueId id, const StoredValue& value);
// A value's type as the registry's own editor names it ("REG_SZ", "(種類 n)"), and its data in
// one short line: a text cut at 60 bytes with "…", "0x00000001 (1)", or its first bytes in hex
// and its size.
void TypeName(DWORD type, char* text, DWORD size);
void ShortValueForm(const StoredValue& value, char* text, DWORD size);
// What the dialog's fields held when OK was pressed, each field's text in dialog order (Type's and
// Modal's unused) and the two choices.
struct PropertyInput {
    char text[ENTRY_VALUE_COUNT][VALUE_TEXT_SIZE];
    int typeChoice, modalChoice;
};
enum PropertyProblem { PROPERTY_FINE, PROPERTY_EMPTY, PROPERTY_TOO_LONG, PROPERTY_NOT_NUMBER };
// The changes the user made, only where a field differs byte for byte from what the dialog showed
// (at most ENTRY_VALUE_COUNT): an emptied optional value is removed, the status-bar text stored
// empty, a REG_EXPAND_SZ stays one. The first problem in dialog order stops it, naming the field.
PropertyProblem DecideValueChanges(const EntryValues& values, const PropertyInput& input,
                                   ValueChange* changes, int* count, EntryValueId* where);
// Writes the changes as one step of 元に戻す (none: nothing at all), reports a failure, refreshes
// the list and selects the entry again.
void ApplyValueChanges(HWND hwnd, const char* name, const ValueChange* changes, int count);
// The lines 登録's overwrite question gains over an entry whose Type is not plain "Generic": ""
// for one whose Type is absent or a REG_SZ whose text up to its first terminator is "Generic",
// whatever else it holds.
void OverwriteNotice(const EntryValues& values, char* text, DWORD size);
// 名前の変更 and 複製 of the selected entry, with every value and subkey, each one step of
// 元に戻す; the list then selects the entry by its new name.
void RenameSelectedEntry(HWND hwnd);
void DuplicateSelectedEntry(HWND hwnd);

// Pre-fill the four fields from a program chosen in the Browse dialog or dropped on MainWindow;
// TakeDroppedFile finishes the drop.
void BrowseForProgram(HWND hwnd);
// A program, or a help file, chosen in a file dialog of owner and set into owner's field id alone;
// a path too long for a field is refused as Browse refuses it.
void BrowseIntoField(HWND owner, int id, bool helpFile);
void TakeDroppedFile(HWND hwnd, HDROP drop);
