#pragma once
// dialogs/dialogs.h: services for the commands: modal windows centred on their owner, error
// reports, the shell, code page 932 text, version resources, the About box and the help documents.
// A service gets its owner window as an argument (and the instance from it) and knows no command.
#include <windows.h>
#include <commdlg.h>

// A message box centred on its owner, with a caption by its icon when caption is empty ("警告" for
// MB_ICONEXCLAMATION...); the button that closed it, or 0 when it could not be shown. It ends the
// centring of a file-dialog span that it falls in, as a box always removes the hook.
int ShowMessage(HWND owner, const char* text, const char* caption, UINT style);
// The system's text for a Win32 error number (or a shell result of 32 or less) in an error box.
void ReportSystemError(HWND owner, DWORD number);
// The system's text for an error number in its own language, without the line break it ends
// in, into size bytes; "エラー番号 <number>" and false where it has none or it does not fit.
bool SystemErrorText(DWORD number, char* text, DWORD size);
// A box of UTF-16 texts, readable whatever the system's code page, centred like ShowMessage's.
int ShowWideMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);
// The error number a failed call left, or fallback when it left none: a failure must never be
// shown as the system's text for success.
DWORD LastErrorOr(DWORD fallback);
// One of the program's dialog templates, modal and centred on owner; what EndDialog was given.
INT_PTR RunCentredDialog(WORD templateId, HWND owner, DLGPROC proc, LPARAM param);
// Opens the file with the shell's default action; a failure is reported as the error it means.
void OpenWithShell(HWND owner, const char* path);
// A DLL from the system folder only, never from the program's folder or the current one; null,
// with the error left by the loader, when it cannot be loaded.
HMODULE LoadSystemLibrary(const char* name);

// A common file dialog: the record is cleared and filled for owner, the caller's file buffer of
// fileSize bytes (which keeps the chosen path), the filter block, title and extension; started in
// the user's Documents when the program was started in a system folder.
void PrepareFileDialog(OPENFILENAMEA* ofn, HWND owner, char* file, DWORD fileSize,
                       const char* filter, const char* title, const char* defaultExtension);
// Runs a file dialog with the centring hook installed for the whole command, with the flags of an
// open or a save dialog: work runs with the chosen path while the hook is still in place, a failed
// dialog is reported as a warning, a cancelled one ends silently, and the hook is removed whatever
// happened.
typedef void (*FileDialogWork)(HWND owner, const char* path, void* context);
void RunFileDialogSpan(OPENFILENAMEA* ofn, bool saving, FileDialogWork work, void* context);

// Code page 932 text, whatever the system's code page: 0x5C is a backslash only where it starts
// a character (ソ and 表 end in it), and a lead byte just before the terminator is a broken
// character of its own, so that no walk steps over the end. Each works in place.
void BaseNameOf(char* path); // the file name without its last extension
void DropDanglingLeadByte(char* text);
// Replaces each character that no file name may hold (\ / : * ? " < > | and controls) by '_'.
void MakeValidFileName(char* name);
// Whether c stands in text as a character of its own, not as the second byte of one (ゾ's 0x5D).
bool HasCharacter(const char* text, char c);
// The file name after the path's last backslash (a pointer into path).
const char* FileNameOf(const char* path);
// Cuts a path of length bytes, read into size bytes, after its last backslash:
// ERROR_FILENAME_EXCED_RANGE when it filled the buffer (cut short), ERROR_PATH_NOT_FOUND without a
// backslash, an empty path with either.
DWORD CutToDirectory(char* path, DWORD length, DWORD size);
// Appends fileName when the whole fits in size bytes; else ERROR_FILENAME_EXCED_RANGE, with the
// directory left as it was.
DWORD AppendFileName(char* directory, DWORD size, const char* fileName);
// Whether path lies in folder or below it, comparing whole characters without regard to case.
bool PathIsInFolder(const char* path, const char* folder);

// Reads the file's version resource through the system's version.dll and hands it to work, which
// is not called when the file has none; ERROR_SUCCESS or the error of the reading.
typedef void (*VersionWork)(const void* block, void* context);
DWORD ReadVersionResource(const char* path, VersionWork work, void* context);
// On a block that ReadVersionResource handed to its work (through the same version.dll): the
// language and code page of the first translation, false when it lists none.
bool FirstTranslation(const void* block, WORD* language, WORD* codePage);
// "\StringFileInfo\" + language and code page as eight lowercase hex digits + "\".
enum { VERSION_PREFIX_SIZE = 32 };
void VersionStringPrefix(WORD language, WORD codePage, char* prefix, DWORD size);
// The named string below prefix, inside the block: "" for a value stored empty, null for none.
const char* QueryVersionString(const void* block, const char* prefix, const char* name);

// The name dialog of 名前の変更 and 複製, centred on owner: the old name, a note and the new name,
// proposed in name and read back into it (size bytes, enough for twice the longest name, so that
// one too long is seen whole). On OK, check is asked with the dialog as owner: it shows its own
// warning and returns false to keep the dialog open. False when the user cancelled.
typedef bool (*NameCheck)(HWND dialog, const char* name, void* context);
bool AskForEntryName(HWND owner, const char* caption, const char* oldName, const char* note,
                     char* name, DWORD size, NameCheck check, void* context);
// The system's folder dialog, centred on owner and started at folder, which takes the chosen
// folder (size bytes); false when cancelled. Vista's dialog where it exists (Unicode paths,
// servers' shares): a folder whose path the ANSI code page or size bytes cannot hold is refused
// with a warning and the dialog shown again. Before Vista, the older dialog, which offers only
// what the code page holds; false when the folder does not fit.
bool AskForFolder(HWND owner, const char* title, char* folder, DWORD size);

// For screen readers. LabelForScreenReaders makes an invisible STATIC of text just before control
// in z-order, where a reader looks for the name of an edit or a list; NameForScreenReaders names a
// control whose caption is a symbol ("...", "▼"), and MakeLiveRegion has a reader say a control's
// new text wherever the focus is. Both annotate through oleacc, which Wine does not implement:
// there nothing changes. ForgetScreenReaderNames clears them on every child of window, when it
// is destroyed.
void LabelForScreenReaders(HWND control, const char* text);
void NameForScreenReaders(HWND control, const wchar_t* name);
void MakeLiveRegion(HWND control);
void ForgetScreenReaderNames(HWND window);
// What a command did, in the first part of owner's status bar (IDC_STATUS_BAR), which is a live
// region: said to a screen reader, and left until the next result or menu help replaces it.
void SayResult(HWND owner, const char* format, ...) __attribute__((format(printf, 2, 3)));

// readme.txt or history.txt from the program's folder, opened with the shell; failures reported.
void OpenHelpDocument(HWND owner, const char* fileName);
// The About box, which also names the menu this copy edits.
void ShowAboutBox(HWND owner, const char* menuName);

// Seams for the tests only.
// Where a window of the given size goes to be centred on centre, kept inside limits.
POINT CentredOrigin(SIZE window, const RECT& centre, const RECT& limits);
