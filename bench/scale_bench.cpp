// Scale benchmark: start-up, refresh, register and delete, and memory, each against the bare
// platform doing the same work in the same run. Prints a table of medians.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include "app/app.h"
#include "bench/floor_dialog.h"
#include "bench/scale_bench.h"
#include "res/resource.h"

static const int RefreshSizes[] = {10, 100, 1000, 5000};
static const int UsualEntries = 10; // a Tools menu of the usual size
static const int ManyEntries = 5000;

struct Row {
    std::string what;
    const std::vector<double>&ours, &floor;
    const char* unit;
    double goal; // largest acceptable ratio; 0 when the figure is for information
};

struct Program {
    std::string path;
    const char* property;
    std::vector<double> startMs, peakKb, workingKb;
};

// The programs take turns, each run starting with the next, so that a slow moment of the shared
// machine does not fall on one of them only.
static void MeasureStartUps(const std::vector<Program*>& programs, int runs)
{
    size_t count = programs.size();
    for (int run = 0; run < runs; run++) {
        for (size_t turn = 0; turn < count; turn++) {
            Program& program = *programs[(run + turn) % count];
            Launched launched;
            if (!LaunchAndWait(program.path, program.property, launched)) {
                fprintf(stderr, "could not start %s\n", program.path.c_str());
                continue;
            }
            program.startMs.push_back(launched.startMs);
            double peak, current;
            if (ReadWorkingSet(launched.process.hProcess, peak, current)) {
                program.peakKb.push_back(peak);
                program.workingKb.push_back(current);
            }
            CloseLaunched(launched);
        }
    }
}

static int ListCount(HWND main)
{
    return (int)SendDlgItemMessageA(main, IDC_TOOL_LIST, LB_GETCOUNT, 0, 0);
}

// The two sides of one run ran back to back, so their ratio is taken run by run: a slow minute of
// the shared machine then slows both halves of a pair instead of one side's median.
static double PairedRatio(const std::vector<double>& ours, const std::vector<double>& floor)
{
    if (ours.size() != floor.size()) {
        double floorMedian = Median(floor);
        return floorMedian > 0 ? Median(ours) / floorMedian : 0;
    }
    std::vector<double> ratios;
    for (size_t i = 0; i < ours.size(); i++)
        if (floor[i] > 0) ratios.push_back(ours[i] / floor[i]);
    return Median(ratios);
}

static void PrintTable(const std::vector<Row>& rows)
{
    typedef const char*(CDECL * VersionFunction)();
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    VersionFunction wineVersion =
        ntdll ? (VersionFunction)(void*)GetProcAddress(ntdll, "wine_get_version") : NULL;
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    printf("\nKorvanel scale benchmark: Wine %s, %lu processors\n\n",
           wineVersion ? wineVersion() : "(none)", (unsigned long)system.dwNumberOfProcessors);
    printf("%-50s %5s %10s %10s %6s  %s\n", "measure", "runs", "Korvanel", "floor", "ratio",
           "goal");
    printf("%-50s %5s %10s %10s %6s\n", "", "", "median", "median", "paired");
    for (const Row& row : rows) {
        double ours = Median(row.ours), floor = Median(row.floor);
        double ratio = PairedRatio(row.ours, row.floor);
        std::string what = row.what + " (" + row.unit + ")";
        char goal[32] = "-";
        if (row.goal > 0)
            snprintf(goal, sizeof goal, "<= %.2f %s", row.goal,
                     ratio <= row.goal ? "met" : "MISSED");
        size_t pairs = row.ours.size() < row.floor.size() ? row.ours.size() : row.floor.size();
        printf("%-50s %5zu %10.1f %10.1f %6.2f  %s\n", what.c_str(), pairs, ours, floor, ratio,
               goal);
    }
    printf("\nfloor, by row:\n"
           "  start-up, working set  a bare dialog program of the main window's size, no list\n"
           "  \"against floor ...\"    the same program, also reading every entry and keeping\n"
           "                         its icon until it ends, as Korvanel's list did, or reading\n"
           "                         every entry's values alone, as the rows need\n"
           "  RefreshToolList        a bare loop: the same registry enumeration, opens and value\n"
           "                         reads, one SHGetFileInfoA(SHGFI_ICON) and DestroyIcon each\n"
           "                         (\"without icons\": the same loop without the shell call)\n"
           "  register, delete       bare RegCreateKeyExA and four values, or RegDeleteKeyA,\n"
           "                         then that bare loop\n"
           "ratio: median of Korvanel / floor over runs in which the two ran back to back.\n"
           "Working sets are what Wine reports: the resident set of the Wine process.\n");
}

int main(int argc, char** argv)
{
    int runs = argc > 1 ? atoi(argv[1]) : 7;
    if (runs < 1 || runs > 99) runs = 7;
    int processRuns = runs < 3 ? runs : 3; // each start with 5,000 entries reads them all

    Program usual[] = {{ProgramPath("Korvanel.exe"), "Korvanel", {}, {}, {}},
                       {ProgramPath("floor_dialog.exe"), FLOOR_PROPERTY, {}, {}, {}},
                       {ProgramPath("floor_icons.exe"), FLOOR_PROPERTY, {}, {}, {}},
                       {ProgramPath("floor_entries.exe"), FLOOR_PROPERTY, {}, {}, {}}};
    Program many[] = {usual[0], usual[1], usual[2], usual[3]};
    std::vector<Row> rows;

    ClearToolsMenu();
    GrowToolsMenu(UsualEntries);
    fprintf(stderr, "start-up with %d entries...\n", UsualEntries);
    MeasureStartUps({&usual[0], &usual[1], &usual[2], &usual[3]}, 3 * runs);
    rows.push_back({"start-up, 10 entries", usual[0].startMs, usual[1].startMs, "ms", 1.2});
    rows.push_back(
        {"  against floor reading entries and icons", usual[0].startMs, usual[2].startMs, "ms", 0});
    rows.push_back(
        {"  against floor reading entries alone", usual[0].startMs, usual[3].startMs, "ms", 0});

    AppInstance = GetModuleHandleA(NULL);
    HWND main = CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(IDD_MAIN), GetDesktopWindow(),
                                   MainDialogProc, 0);
    if (!main) {
        fprintf(stderr, "could not create the main window\n");
        return 1;
    }
    ShowWindow(main, SW_SHOWNORMAL);
    UpdateWindow(main);
    PumpMessages();

    Samples refreshes[4], registering, deleting, withoutIcons, iconsIn;
    for (int i = 0; i < 4; i++) {
        int size = RefreshSizes[i];
        GrowToolsMenu(size);
        fprintf(stderr, "RefreshToolList with %d entries...\n", size);
        // Short refreshes are repeated more, so that their medians hold still on a busy machine.
        int repeat = size >= 1000 ? 1 : size >= 100 ? 10 : 20;
        refreshes[i] = MeasureRefresh(main, runs * repeat, size == 1000 ? &withoutIcons : nullptr);
        if (ListCount(main) != size)
            fprintf(stderr, "the list holds %d items, not %d\n", ListCount(main), size);
        // Before the icons went to their own thread, a refresh cost what the floor with icons does.
        rows.push_back({"RefreshToolList, " + std::to_string(size) + " entries, rows in",
                        refreshes[i].ours, refreshes[i].floor, "ms", size == 1000 ? 0.25 : 0});
        if (size == 1000) {
            rows.push_back({"  against a bare loop without icons", withoutIcons.ours,
                            withoutIcons.floor, "ms", 0});
            fprintf(stderr, "every icon in, 1000 entries...\n");
            iconsIn = MeasureIconsIn(main, runs);
            rows.push_back({"RefreshToolList, 1000 entries, every icon in", iconsIn.ours,
                            iconsIn.floor, "ms", 1.1});
            fprintf(stderr, "register and delete among 1000 entries...\n");
            MeasureRegisterAndDelete(main, runs, registering, deleting);
            rows.push_back(
                {"register 1 among 1000, refresh", registering.ours, registering.floor, "ms", 0});
            rows.push_back(
                {"delete 1 among 1000, refresh", deleting.ours, deleting.floor, "ms", 0});
        }
    }
    DestroyWindow(main);
    PumpMessages();

    fprintf(stderr, "start-up and working set with %d entries...\n", ManyEntries);
    MeasureStartUps({&many[0], &many[1], &many[2], &many[3]}, processRuns);
    ClearToolsMenu();
    rows.push_back({"start-up, 5000 entries", many[0].startMs, many[1].startMs, "ms", 1.2});
    rows.push_back(
        {"  against floor reading entries and icons", many[0].startMs, many[2].startMs, "ms", 0});
    rows.push_back(
        {"  against floor reading entries alone", many[0].startMs, many[3].startMs, "ms", 1.2});
    rows.push_back({"peak working set, 5000 entries", many[0].peakKb, many[1].peakKb, "KB", 0});
    rows.push_back({"  against floor holding 5000 icons", many[0].peakKb, many[2].peakKb, "KB", 0});
    rows.push_back(
        {"working set when idle, 5000 entries", many[0].workingKb, many[1].workingKb, "KB", 0});

    PrintTable(rows);
    return 0;
}
