#include "tests/e2e/exchange_helpers.h"
#include <string.h>

namespace exchange
{

std::string FreshFolder(const std::string& name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string folder = std::string(temp) + name + "\\";
    RemoveFolder(folder);
    CreateDirectoryA(folder.c_str(), NULL);
    return folder;
}

void RemoveFolder(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((folder + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

HWND OpenFileDialog(const driver::App& app, int command, const char* caption)
{
    driver::Command(app.main, command);
    return driver::WaitForDialog(app.main, 5000, caption);
}

void ChooseFile(HWND dialog, const std::string& path, driver::Box* prompt, int answer)
{
    driver::AcceptFileDialog(dialog, path);
    if (!prompt) return;
    *prompt = driver::AnswerBox(dialog, answer, 3000);
}

void AfterDialog(const driver::App& app, HWND dialog)
{
    driver::WaitUntilGone(dialog);
    driver::Sync(app.main);
}

driver::Box TakeBox(const driver::App& app, const char* caption, DWORD timeoutMs)
{
    driver::Box box;
    HWND hwnd = driver::WaitForDialog(app.main, timeoutMs, caption);
    if (!hwnd) return box;
    box.found = true;
    box.caption = driver::Text(hwnd);
    box.text = driver::BoxText(hwnd);
    box.rect = driver::WindowRect(hwnd);
    driver::PressButton(hwnd, IDOK);
    driver::WaitUntilGone(hwnd);
    driver::Sync(app.main);
    return box;
}

bool NoDialogFor(HWND owner, DWORD ms)
{
    return driver::WaitForDialog(owner, ms) == NULL;
}

Snapshot TakeSnapshot(const driver::App& app)
{
    Snapshot snapshot;
    snapshot.items = driver::ItemNames(app);
    snapshot.selection = driver::Selection(app);
    const int ids[] = {1000, 1003, 1002, 1005};
    for (int i = 0; i < 4; i++)
        snapshot.fields[i] = driver::Field(app, ids[i]);
    return snapshot;
}

bool operator==(const Snapshot& a, const Snapshot& b)
{
    for (int i = 0; i < 4; i++)
        if (a.fields[i] != b.fields[i]) return false;
    return a.items == b.items && a.selection == b.selection;
}

} // namespace exchange
