#pragma once
#include <windows.h>
#include <commdlg.h>

extern HHOOK CentringHookHandle;

// Where a window of the given size goes to be centred on centre, kept inside limits.
POINT CentredOrigin(SIZE window, const RECT& centre, const RECT& limits);
void CentreOnOwner(HWND window, HWND centreOn);
LRESULT CALLBACK CentringHook(int code, WPARAM wParam, LPARAM lParam);
void InstallCentringHook();
void RemoveCentringHook();

int ShowMessage(HWND owner, const char* text, const char* caption, UINT style);
void ReportSystemError(HWND owner, DWORD number);
INT_PTR RunCentredDialog(WORD templateId, HWND owner, DLGPROC proc, LPARAM param);

// A common file dialog: the record is cleared and filled for owner, the 260-byte file buffer,
// the filter block, title, flags and default extension.
void PrepareFileDialog(OPENFILENAMEA* ofn, HWND owner, char* file, const char* filter,
                       const char* title, DWORD flags, const char* defaultExtension);

// Runs a file dialog with the centring hook installed for the whole command: work runs with the
// chosen path while the hook is still in place, and the hook is removed whatever happened.
typedef void (*FileDialogWork)(HWND owner, const char* path, void* context);
void RunFileDialogSpan(OPENFILENAMEA* ofn, bool saving, FileDialogWork work, void* context);

// The program's directory, ending in a backslash, in 260 bytes. False, with the reason left for
// GetLastError and an empty buffer, when the module path was cut short or holds no backslash.
bool ModuleDirectory(char* buffer);
// Cuts a path of length bytes, read into size bytes, after its last backslash, moving by code
// page 932 characters; returns the Win32 error number that refuses it, or ERROR_SUCCESS.
DWORD CutToDirectory(char* path, DWORD length, DWORD size);
// Appends fileName to directory when both fit in size bytes; else leaves it and says why.
DWORD AppendFileName(char* directory, DWORD size, const char* fileName);
void OpenHelpDocument(const char* fileName);
void ShowAboutBox(HWND hwnd);
INT_PTR CALLBACK AboutBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
