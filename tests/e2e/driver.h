#pragma once
// Drives the real Korvanel.exe from another process, as a user would: it starts the program,
// finds its window, types, clicks, answers message boxes and file dialogs, and reads the registry.
#include <windows.h>
#include <string>
#include <vector>
#include "store/store.h"

namespace driver
{

extern const char ToolsMenuKey[]; // below HKEY_LOCAL_MACHINE

struct App {
    PROCESS_INFORMATION process{};
    HWND main = NULL;
};

std::string TestDirectory(); // where the test exe, Korvanel.exe and fixtures lie
std::string KorvanelPath();

// Starts the program (another exe when path is given); Start also waits for its window.
bool Launch(App& app, const std::string& arguments = "", const std::string& path = "");
bool Start(App& app, const std::string& arguments = "", const std::string& path = "");
DWORD WaitForExit(App& app, DWORD timeoutMs = 10000); // exit code, or STILL_ACTIVE
DWORD Close(App& app); // WM_CLOSE, then the exit code (killed after 5 s)
void Kill(App& app);
// Ends every Korvanel left running by an earlier test that was cut short (a timeout kills the
// test, not the program), which would otherwise take the single-instance name.
void KillStrayPrograms();
HWND FindMainWindow(DWORD processId, DWORD timeoutMs = 10000);

// Waits until the program has handled everything posted to it so far, or sits in a modal loop.
void Sync(HWND hwnd);
void Command(HWND main, int id); // posted, as a menu item would send it
void Wait(DWORD ms);

// Top-level dialogs (#32770) owned by owner: message boxes, file dialogs, the About box.
// settleMs is the pause that lets the dialog finish its own set-up before it is read; loops that
// only answer the dialog pass 0.
HWND WaitForDialog(HWND owner, DWORD timeoutMs = 5000, const char* caption = nullptr,
                   DWORD settleMs = 250);
bool WaitUntilGone(HWND window, DWORD timeoutMs = 5000);
std::string Text(HWND window);
std::string ItemText(HWND dialog, int id);
std::string BoxText(HWND box);         // the message text of a message box
void PressButton(HWND dialog, int id); // IDOK, IDYES, IDNO ...
RECT WindowRect(HWND window);

// A message box as the user sees it; answers it with the given button.
struct Box {
    std::string caption, text;
    bool found = false;
    RECT rect{};
};
Box AnswerBox(HWND owner, int button, DWORD timeoutMs = 5000);

// The common file dialog: its file-name box (an Edit inside the ComboBoxEx 0x47C) and its text;
// AcceptFileDialog types a full path into the box and accepts it.
HWND FileNameBox(HWND dialog);
std::string FileNameText(HWND dialog);
bool AcceptFileDialog(HWND dialog, const std::string& path);

// Real keyboard and mouse input to the foreground window.
void Foreground(HWND window);
void Keys(std::initializer_list<WORD> chord); // pressed in order, released in reverse
void Click(POINT screen, bool right = false);
void DoubleClick(POINT screen);

// The list of entries, read from the running program.
int ItemCount(const App& app);
int Selection(const App& app);
bool ReadItem(const App& app, int index, ToolEntry& entry);
std::vector<std::string> ItemNames(const App& app);
POINT ItemCentre(const App& app, int index); // in screen co-ordinates
void SelectItem(const App& app, int index);  // by a click, as a user would
std::string Field(const App& app, int id);
void SetField(const App& app, int id, const std::string& text);
HWND FocusedControl(const App& app);

// The registry of the test prefix. Every test starts from an empty Tools menu.
void ClearToolsMenu();
void PutEntry(const std::string& name, const std::string& path, const std::string& menuText,
              const std::string& statusText);
bool KeyExists(const std::string& relativePath); // below ToolsMenuKey
bool ReadValue(const std::string& relativePath, const char* value, std::string& text);

std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);

} // namespace driver

#include <gtest/gtest.h>

// Each test starts from an empty Tools menu and never leaves a program running behind it.
class KorvanelTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        driver::ClearToolsMenu();
    }
    void TearDown() override
    {
        if (app.process.hProcess) driver::Close(app);
        driver::ClearToolsMenu();
    }
    driver::App app;
};
