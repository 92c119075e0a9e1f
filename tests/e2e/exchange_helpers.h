#pragma once
// Driving the file dialogs of export, import and the CAL launcher like a user, and the files
// they leave behind.
#include <windows.h>
#include <string>
#include <vector>
#include "tests/e2e/driver.h"

namespace exchange
{

// An empty folder of the test prefix for one test's files; ends with a backslash.
std::string FreshFolder(const std::string& name);
void RemoveFolder(const std::string& folder);

// Posts the command and waits for the file dialog with the given caption.
HWND OpenFileDialog(const driver::App& app, int command, const char* caption);
// The text of the dialog's file-name box.

// Types the path into the dialog and accepts it. When the dialog raises a prompt of its own (it
// asks before replacing a file), that prompt is read into prompt and answered with answer.
void ChooseFile(HWND dialog, const std::string& path, driver::Box* prompt = nullptr,
                int answer = IDYES);
// Waits until the dialog has gone and the program has finished the command or shows a box.
void AfterDialog(const driver::App& app, HWND dialog);

// A message box owned by the main window with the given caption, answered with OK.
driver::Box TakeBox(const driver::App& app, const char* caption, DWORD timeoutMs = 5000);
// True when no dialog owned by owner shows up within the time.
bool NoDialogFor(HWND owner, DWORD ms);

struct Snapshot {
    std::vector<std::string> items;
    int selection;
    std::string fields[4];
};
Snapshot TakeSnapshot(const driver::App& app);
bool operator==(const Snapshot& a, const Snapshot& b);

} // namespace exchange
