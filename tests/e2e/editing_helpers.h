#pragma once
// What the editing and pre-fill tests need beyond the driver: message boxes read with their
// buttons, real drops, the Browse dialog, and the registry as the user cannot see it.
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "tests/e2e/driver.h"

namespace editing
{

// A message box read before it is answered.
struct Question {
    bool found = false;
    std::string caption, text;
    bool yes = false, no = false, ok = false;
};
Question AnswerQuestion(HWND owner, int button, DWORD timeoutMs = 5000);
// Waits until the program has handled every message posted to it so far. A sent message (such
// as the driver's Sync) overtakes posted ones, so a posted marker is needed to know that.
void Settle(HWND main);
// Polls until done() holds; false after the time.
bool Eventually(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// "" when no dialog of the owner shows up within the time; else its caption and text (closed).
std::string UnexpectedDialog(HWND owner, DWORD timeoutMs = 700);

// The four fields in the order name, program path, menu text, status-bar text.
std::vector<std::string> Fields(const driver::App& app);
void SetFields(const driver::App& app, const std::string& name, const std::string& path,
               const std::string& menuText, const std::string& statusText);

// WM_DROPFILES as the shell sends it, the block written into the program's own memory.
bool DropFiles(const driver::App& app, const std::vector<std::string>& paths);

// Opens the Browse dialog with a real click on the "..." button.
HWND ClickBrowse(const driver::App& app);
// The dialog's file types and the one selected.
std::vector<std::string> FileTypes(HWND dialog, int& selected);
// Types the path, accepts it, and waits until the program has dealt with it.
bool ChooseFile(const driver::App& app, HWND dialog, const std::string& path);

// Names below ToolsMenuKey in their stored letter case.
std::vector<std::string> SubkeyNames();
std::string Value(const std::string& entry, const char* value); // "<missing>" when absent
std::string SystemErrorText(DWORD number);

std::string Repeat(const std::string& text, int times);
// A directory below C:\ of the test prefix, created if missing (CP932 names allowed).
std::string TestFolder(const std::string& relative);
bool PutFile(const std::string& path, const std::string& bytes);
bool CopyFixture(const char* fixture, const std::string& to);

} // namespace editing
