#pragma once
// Shared by the scale benchmark's parts: timing, the Tools menu filled to a size, the bare loops
// that stand for the platform's floor, and the two programs started from outside.
#include <windows.h>
#include <string>
#include <vector>

// Every timing is taken from both sides in the same run, alternating which goes first, so that
// noise on the shared machine hits both.
struct Samples {
    std::vector<double> ours, floor;
};

double Median(std::vector<double> values);
LONGLONG Now();
double MillisecondsSince(LONGLONG start);

extern const char ToolsKey[]; // below HKEY_LOCAL_MACHINE
void PutText(HKEY key, const char* name, const char* text);

// The bare platform doing a refresh's work: the same enumeration, opens and value reads as the
// program, and one shell icon per entry, destroyed at once unless kept is given.
void FloorRefresh(std::vector<HICON>* kept = nullptr, bool icons = true);
// The bare registry work of registering and deleting one entry.
void FloorWrite(const char* name);
void FloorDelete(const char* name);

// The registry: entries Tool00000, Tool00001, ... pointing at notepad and regedit in turn, with one
// in twenty-five at a program that does not exist.
void ClearToolsMenu();
void GrowToolsMenu(int count); // adds entries until there are count of them
const char* EntryPath(int index);

// In-process, against the program's own main window. The list's icons arrive after a refresh:
// ExpectedIcons counts the listed programs that exist, WaitForIcons pumps the window's messages
// until that many rows have theirs.
int ExpectedIcons(HWND main);
void WaitForIcons(HWND main, int expected);
// RefreshToolList until its rows are in, against the bare loop with icons and, run by run, without.
Samples MeasureRefresh(HWND main, int runs, Samples* floorWithoutIcons = nullptr);
// RefreshToolList until every icon is in, against the bare loop reading entries and icons.
Samples MeasureIconsIn(HWND main, int runs);
// Register, then delete, one entry: the registry work and the refresh that follows each.
void MeasureRegisterAndDelete(HWND main, int runs, Samples& registering, Samples& deleting);
void PumpMessages();

// Started as separate processes: Korvanel.exe and the floor dialog program beside this exe.
struct Launched {
    PROCESS_INFORMATION process{};
    HWND window = NULL;
    double startMs = 0;
};
std::string ProgramPath(const char* exeName);
bool LaunchAndWait(const std::string& exe, const char* property, Launched& launched);
void CloseLaunched(Launched& launched);
bool ReadWorkingSet(HANDLE process, double& peakKb, double& currentKb);
