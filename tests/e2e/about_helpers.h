#pragma once
// Helpers for the About box and help-document tests: where the program under test lies, fresh
// program directories in the prefix, and a .txt association that leaves a marker instead of
// opening an editor.
#include <windows.h>
#include <string>
#include "tests/e2e/driver.h"

namespace about
{

// The directory of the Korvanel.exe under test, ending in a backslash: the build directory, or
// the directory named by KORVANEL_PROGRAM_DIR (an unpacked release, for instance).
std::string ProgramDirectory();
std::string ProgramPath();

// An empty directory below C:\korvanel-tests, made anew (its files from a former run removed).
std::string FreshDirectory(const std::string& name);
bool CopyInto(const std::string& file, const std::string& directory);

// The About box owned by main, as soon as it is visible; its texts are set by then.
HWND WaitForAboutBox(HWND main, DWORD timeoutMs = 5000);

// Renumbers the version resource type of an exe (16 to 17, which keeps the directory sorted), so
// that the program finds no version resource in itself. UpdateResource cannot delete it under Wine.
bool HideVersionResource(const std::string& exe);

POINT Centre(const RECT& r);
std::string SystemErrorText(DWORD number);
std::string VersionString(const std::string& file, const char* name); // from 041104b0
std::string ClipboardText();

// While it lives, opening a .txt file runs a command that copies the file to CopiedDocument()
// and writes the path it was given to OpenedPath(). The former association comes back after.
class MarkerAssociation
{
  public:
    MarkerAssociation();
    ~MarkerAssociation();
    static std::string CopiedDocument();
    static std::string OpenedPath();
    // Waits for the command to have run; the path it was given, or "" after the timeout.
    std::string WaitForOpenedPath(DWORD timeoutMs = 10000);

  private:
    std::string previous;
    bool hadPrevious = false;
};

} // namespace about
