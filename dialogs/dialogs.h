#pragma once
// Services for the commands: modal windows centred on their owner, error reports, the shell,
// code page 932 text, version resources, the About box and the help documents. A service gets
// its owner window as an argument and knows no command.
#include <windows.h>
#include <commdlg.h>

extern HHOOK CentringHookHandle;

// Where a window of the given size goes to be centred on centre, kept inside limits.
POINT CentredOrigin(SIZE window, const RECT& centre, const RECT& limits);
void CentreOnOwner(HWND window, HWND centreOn);
LRESULT CALLBACK CentringHook(int code, WPARAM wParam, LPARAM lParam);
void InstallCentringHook();
void RemoveCentringHook();

// The module that made the window, which holds the resources it shows.
HINSTANCE InstanceOf(HWND window);
int ShowMessage(HWND owner, const char* text, const char* caption, UINT style);
void ReportSystemError(HWND owner, DWORD number);
INT_PTR RunCentredDialog(WORD templateId, HWND owner, DLGPROC proc, LPARAM param);
// Opens the file with the shell's default action; a failure is reported.
void OpenWithShell(HWND owner, const char* path);

// A common file dialog: the record is cleared and filled for owner, the file buffer of fileSize
// bytes, the filter block, title, flags and default extension.
void PrepareFileDialog(OPENFILENAMEA* ofn, HWND owner, char* file, DWORD fileSize,
                       const char* filter, const char* title, DWORD flags,
                       const char* defaultExtension);
// Runs a file dialog with the centring hook installed for the whole command: work runs with the
// chosen path while the hook is still in place, and the hook is removed whatever happened.
typedef void (*FileDialogWork)(HWND owner, const char* path, void* context);
void RunFileDialogSpan(OPENFILENAMEA* ofn, bool saving, FileDialogWork work, void* context);
// A box of UTF-16 texts, readable whatever the system's code page; centred like ShowMessage's.
int ShowWideMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);
// A DLL from the system folder only, never from the program's folder or the current one.
HMODULE LoadSystemLibrary(const char* name);

// Code page 932 text, whatever the system's code page: 0x5C is a backslash only where it starts
// a character (ソ and 表 end in it), and a lead byte just before the terminator is a broken
// character of its own, so that no walk steps over the end.
void BaseNameOf(char* path); // the file name without its last extension
void DropDanglingLeadByte(char* text);
// Replaces each character that no file name may hold (\ / : * ? " < > | and controls) by '_'.
void MakeValidFileName(char* name);
// Whether path lies in folder or below it, comparing without regard to case.
bool PathIsInFolder(const char* path, const char* folder);
// Cuts a path of length bytes, read into size bytes, after its last backslash.
DWORD CutToDirectory(char* path, DWORD length, DWORD size);
// Appends fileName when the whole fits in size bytes; else leaves the directory as it was.
DWORD AppendFileName(char* directory, DWORD size, const char* fileName);
// The program's directory, ending in a backslash; an empty buffer when it cannot be had.
DWORD ModuleDirectory(char* buffer, DWORD size);

// Reads the file's version resource and hands it to work, which is not called when the file has
// none or it cannot be read.
typedef void (*VersionWork)(const void* block, void* context);
DWORD ReadVersionResource(const char* path, VersionWork work, void* context);
// The language and code page of the block's first translation; false when it lists none.
bool FirstTranslation(const void* block, WORD* language, WORD* codePage);
// "\StringFileInfo\" + language and code page as eight lowercase hex digits + "\".
void VersionStringPrefix(WORD language, WORD codePage, char* prefix, DWORD size);
// The named string below prefix: "" for a value stored empty, null when there is none.
const char* QueryVersionString(const void* block, const char* prefix, const char* name);

void OpenHelpDocument(HWND owner, const char* fileName);
void ShowAboutBox(HWND hwnd);
INT_PTR CALLBACK AboutBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
