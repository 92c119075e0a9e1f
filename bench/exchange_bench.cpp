// Times the INI export and import of the Tools menu, the .reg backup of the whole key and its
// restore, beside the registry editor's own "reg export" and "reg import" of the same key and
// file, in the same prefix, and prints a table.
//   exchange_bench.exe [entry counts...]   (default 100 1000 5000)
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <algorithm>
#include <string>
#include <vector>
#include "editor/editor.h"
#include "exchange/exchange.h"
#include "store/store.h"

static const char Key[] = "Software\\Cakewalk Music Software\\Tools Menu";

static double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return (double)counter.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

static void ClearToolsMenu()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, Key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, Key);
}

static void FillToolsMenu(int count)
{
    ClearToolsMenu();
    for (int i = 1; i <= count; i++) {
        char name[64], path[128], menu[64], status[64];
        snprintf(name, sizeof name, "Tool %05d", i);
        snprintf(path, sizeof path, "C:\\Program Files\\Tool %d\\tool%d.exe", i, i);
        snprintf(menu, sizeof menu, "&Tool %d", i);
        snprintf(status, sizeof status, "Starts tool %d", i);
        WriteToolEntry(name, path, menu, status);
    }
}

static void Keep(ToolEntry* entry, void* context)
{
    ((std::vector<ToolEntry*>*)context)->push_back(entry);
}

static int CountEntries()
{
    std::vector<ToolEntry*> entries;
    ReadToolEntries(Keep, &entries);
    for (ToolEntry* entry : entries)
        FreeToolEntry(entry);
    return (int)entries.size();
}

static const ToolEntry* EntryAt(void* context, int index)
{
    return (*(std::vector<ToolEntry*>*)context)[index];
}

// What the export command does once the file is chosen: read the list, check and write.
static bool ExportWithKorvanel(const char* file, double* readingMs)
{
    double start = Now();
    std::vector<ToolEntry*> entries;
    ReadToolEntries(Keep, &entries);
    *readingMs = Now() - start;
    IniRefusals refusals;
    bool written =
        WriteIniEntries(file, EntryAt, &entries, (int)entries.size(), &refusals) == ERROR_SUCCESS;
    for (ToolEntry* entry : entries)
        FreeToolEntry(entry);
    return written;
}

static bool RunReg(const std::string& arguments)
{
    std::string line = "reg.exe " + arguments;
    std::vector<char> command(line.begin(), line.end());
    command.push_back('\0');
    // Its messages would break the table; they go nowhere.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE nowhere = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, NULL);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = nowhere;
    PROCESS_INFORMATION process{};
    BOOL started =
        CreateProcessA(NULL, command.data(), NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process);
    CloseHandle(nowhere);
    if (!started) return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code == 0;
}

struct Row {
    int count;
    double readMs, exportMs, regExportMs, importMs, regImportMs, backupMs;
    double previewMs, restoreMs, regRestoreMs;
    bool checked;
};

// What バックアップから戻す does once the file is chosen: read and parse it whole, compare it
// with the menu. The rows come back for the write.
static bool ParseAndPreview(const char* file, BackupFile* backup, PreviewRow** rows, int* count)
{
    KeyRecord present = {};
    bool read = ReadBackupFile(file, backup) == ERROR_SUCCESS && backup->refusal == BACKUP_READ &&
                RecordMenuEntries(THIS_VIEW, &present) == ERROR_SUCCESS &&
                ComparePreview(&backup->record, &present, rows, count) == ERROR_SUCCESS;
    FreeKeyRecord(&present);
    return read;
}

// ... and after OK with every row checked: the undo step's record, the write, and the step's
// digests of what it left.
static bool RestoreEverything(const char* file, int expected)
{
    BackupFile backup;
    PreviewRow* rows = NULL;
    int count = 0;
    bool done = ParseAndPreview(file, &backup, &rows, &count) && count == expected;
    std::vector<std::string> names;
    for (int i = 0; done && i < count; i++) {
        char name[TOOL_TEXT_SIZE];
        WideCharToMultiByte(CP_ACP, 0, rows[i].name, -1, name, sizeof name, NULL, NULL);
        names.push_back(name);
    }
    std::vector<const char*> pointers;
    for (const std::string& name : names)
        pointers.push_back(name.c_str());
    KeyRecord undo = {};
    std::vector<UINT64> digests((size_t)count + 1);
    done = done && RecordEntryKeys(THIS_VIEW, pointers.data(), count, &undo) == ERROR_SUCCESS &&
           RestoreEntryKeys(THIS_VIEW, &backup.record) == ERROR_SUCCESS &&
           DigestEntryKeys(THIS_VIEW, &undo, digests.data()) == ERROR_SUCCESS;
    FreeKeyRecord(&undo);
    if (rows) GlobalFree(rows);
    FreeBackupFile(&backup);
    return done;
}

static Row Measure(int count, const std::string& folder)
{
    Row row = {count, 0, 0, 0, 0, 0, 0, 0, 0, 0, true};
    std::string ini = folder + "tools.ini", reg = folder + "tools.reg";
    std::string backup = folder + "backup.reg";
    std::string regKey = std::string("\"HKLM\\") + Key + "\"";

    FillToolsMenu(count);
    DeleteFileA(ini.c_str());
    double start = Now();
    row.checked &= ExportWithKorvanel(ini.c_str(), &row.readMs);
    row.exportMs = Now() - start;

    DeleteFileA(reg.c_str());
    start = Now();
    row.checked &= RunReg("export " + regKey + " \"" + reg + "\" /y");
    row.regExportMs = Now() - start;

    DeleteFileA(backup.c_str());
    start = Now();
    char refused[256];
    row.checked &=
        WriteRegistryBackup(backup.c_str(), "menu", refused, sizeof refused) == ERROR_SUCCESS;
    row.backupMs = Now() - start;

    // Over the menu it was made of: every row the same, the comparison's whole work.
    BackupFile parsed;
    PreviewRow* rows = NULL;
    int rowCount = 0;
    start = Now();
    row.checked &= ParseAndPreview(backup.c_str(), &parsed, &rows, &rowCount);
    row.previewMs = Now() - start;
    row.checked &= rowCount == count && (count == 0 || rows[count - 1].state == PREVIEW_SAME);
    if (rows) GlobalFree(rows);
    FreeBackupFile(&parsed);

    ClearToolsMenu();
    start = Now();
    row.checked &= RestoreEverything(backup.c_str(), count);
    row.restoreMs = Now() - start;
    row.checked &= CountEntries() == count;
    ClearToolsMenu();
    start = Now();
    row.checked &= RunReg("import \"" + backup + "\"");
    row.regRestoreMs = Now() - start;
    row.checked &= CountEntries() == count;

    ClearToolsMenu();
    IniImportResult result;
    start = Now();
    ImportIniFile(ini.c_str(), &result);
    row.importMs = Now() - start;
    row.checked &= result.outcome == IMPORT_DONE && CountEntries() == count;

    ClearToolsMenu();
    start = Now();
    row.checked &= RunReg("import \"" + reg + "\"");
    row.regImportMs = Now() - start;
    row.checked &= CountEntries() == count;
    return row;
}

int main(int argc, char** argv)
{
    std::vector<int> counts;
    for (int i = 1; i < argc; i++)
        counts.push_back(atoi(argv[i]));
    if (counts.empty()) counts = {100, 1000, 5000};

    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string folder = std::string(temp) + "korvanel-bench\\";
    CreateDirectoryA(folder.c_str(), NULL);

    // What starting reg.exe costs by itself, paid once by every reg command below: the median
    // of five, as one start can take twice as long as the next.
    double starts[5];
    for (double& startMs : starts) {
        double start = Now();
        RunReg("query \"HKLM\\Software\\Korvanel bench nothing\"");
        startMs = Now() - start;
    }
    std::sort(starts, starts + 5);
    double startUp = starts[2];

    printf("Tools-menu exchange under Wine, milliseconds (reg.exe start-up alone: %.0f ms)\n",
           startUp);
    printf("%8s | %10s %12s %10s %7s | %10s %10s %7s | %8s %12s %7s | %8s %7s | %8s %10s %7s | "
           "%s\n",
           "entries", "ini export", "(list read)", "reg export", "ratio", "ini import",
           "reg import", "ratio", "backup", "reg - start", "ratio", "preview", "/backup", "restore",
           "reg import", "ratio", "check");
    for (int count : counts) {
        Row row = Measure(count, folder);
        // The backup runs in this process: reg.exe's own start-up is taken off its export. Where
        // that leaves less than a fifth of the start-up, the rest is noise and no ratio is given.
        double regWork = row.regExportMs - startUp;
        char backupRatio[16] = "-";
        if (regWork >= startUp / 5)
            snprintf(backupRatio, sizeof backupRatio, "%.2f", row.backupMs / regWork);
        printf("%8d | %10.0f %12.0f %10.0f %7.2f | %10.0f %10.0f %7.2f | %8.0f %12.0f %7s | %8.0f "
               "%7.2f | %8.0f %10.0f %7.2f | %s\n",
               row.count, row.exportMs, row.readMs, row.regExportMs, row.exportMs / row.regExportMs,
               row.importMs, row.regImportMs, row.importMs / row.regImportMs, row.backupMs, regWork,
               backupRatio, row.previewMs, row.previewMs / row.backupMs, row.restoreMs,
               row.regRestoreMs, row.restoreMs / row.regRestoreMs, row.checked ? "ok" : "FAILED");
        fflush(stdout);
    }
    ClearToolsMenu();
    DeleteFileA((folder + "tools.ini").c_str());
    DeleteFileA((folder + "tools.reg").c_str());
    DeleteFileA((folder + "backup.reg").c_str());
    RemoveDirectoryA(folder.c_str());
    return 0;
}
