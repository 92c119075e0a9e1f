#include <windows.h>
#include <commdlg.h>
#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include "app/app.h"
#include "dialogs/dialogs.h"
#include "res/resource.h"

static const RECT Screen = {0, 0, 1024, 768};

static POINT Origin(int cx, int cy, RECT centre, RECT limits = Screen)
{
    return CentredOrigin(SIZE{cx, cy}, centre, limits);
}

TEST(CentredOrigin, CentresOnTheCentreRectangle)
{
    POINT p = Origin(200, 100, RECT{100, 100, 500, 400});
    EXPECT_EQ(200, p.x);
    EXPECT_EQ(200, p.y);
    // Odd sizes: each half is truncated on its own before the subtraction.
    p = Origin(201, 101, RECT{100, 100, 501, 401});
    EXPECT_EQ(300 - 100, p.x);
    EXPECT_EQ(250 - 50, p.y);
}

TEST(CentredOrigin, HalvingTruncatesTowardZero)
{
    // A shift would give -51 for the centre of -101..0; the division gives -50.
    RECT limits = {-2000, -2000, 2000, 2000};
    POINT p = Origin(10, 20, RECT{-101, -101, 0, 0}, limits);
    EXPECT_EQ(-50 - 5, p.x);
    EXPECT_EQ(-50 - 10, p.y);
    p = Origin(11, 21, RECT{-301, -3, 0, 0}, limits);
    EXPECT_EQ(-150 - 5, p.x);
    EXPECT_EQ(-1 - 10, p.y);
}

TEST(CentredOrigin, KeepsTheWindowInsideEachEdge)
{
    struct Row {
        RECT centre;
        LONG x, y;
    } rows[] = {
        {{900, 300, 1300, 500}, 1024 - 200, 350},  // past the right edge
        {{300, 700, 700, 1000}, 400, 768 - 100},   // past the bottom edge
        {{-300, 300, 100, 500}, 0, 350},           // before the left edge
        {{300, -400, 700, -100}, 400, 0},          // above the top
        {{1000, 740, 1400, 1000}, 1024 - 200, 668} // past both
    };
    for (const Row& row : rows) {
        POINT p = Origin(200, 100, row.centre);
        EXPECT_EQ(row.x, p.x) << row.centre.left << "," << row.centre.top;
        EXPECT_EQ(row.y, p.y) << row.centre.left << "," << row.centre.top;
    }
    // Limits that do not start at the origin, as a work area beside a task bar.
    POINT p = Origin(200, 100, RECT{0, 0, 100, 100}, RECT{60, 30, 1024, 738});
    EXPECT_EQ(60, p.x);
    EXPECT_EQ(30, p.y);
}

TEST(CentredOrigin, LeftAndTopWinForWindowsLargerThanTheLimits)
{
    // Centred, it would start before the limits: aligned with the left and top edges.
    POINT p = Origin(2000, 1000, Screen);
    EXPECT_EQ(0, p.x);
    EXPECT_EQ(0, p.y);
    // Centred far right and low, it starts inside the limits but ends past them: the right and
    // bottom tests then pull it back over the left and top edges.
    p = Origin(2000, 1000, RECT{1000, 740, 1024, 768});
    EXPECT_EQ(1024 - 2000, p.x);
    EXPECT_EQ(768 - 1000, p.y);
}

// Real windows of this process, for the parts that ask the window manager.
static const char TestClass[] = "KorvanelCentringTest";

static LRESULT CALLBACK TestWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // An owner may name another window to centre on.
    if (msg == 0x036B) return (LRESULT)GetPropA(hwnd, "CentreInstead");
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

static HWND MakeWindow(DWORD style, RECT r, HWND parent = NULL)
{
    static ATOM atom = 0;
    if (!atom) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = TestWindowProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = TestClass;
        wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
        atom = RegisterClassA(&wc);
    }
    return CreateWindowExA(0, TestClass, "", style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, parent, NULL, GetModuleHandleA(NULL), NULL);
}

static RECT WindowRect(HWND hwnd)
{
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

static RECT WorkArea()
{
    RECT r{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

// Where a child lies in its parent's client co-ordinates.
static RECT ChildRect(HWND child)
{
    RECT r = WindowRect(child);
    MapWindowPoints(NULL, GetParent(child), (POINT*)&r, 2);
    return r;
}

struct Windows {
    HWND list[6] = {};
    int count = 0;
    HWND Add(HWND hwnd)
    {
        list[count++] = hwnd;
        return hwnd;
    }
    ~Windows()
    {
        while (count)
            DestroyWindow(list[--count]);
    }
};

TEST(CentreOnOwner, PopupIsCentredOnItsOwner)
{
    Windows w;
    HWND owner = w.Add(MakeWindow(WS_POPUP | WS_VISIBLE, RECT{100, 100, 500, 400}));
    HWND popup = w.Add(MakeWindow(WS_POPUP, RECT{0, 0, 200, 100}, owner));
    CentreOnOwner(popup, NULL);
    RECT r = WindowRect(popup);
    EXPECT_EQ(200, r.left);
    EXPECT_EQ(200, r.top);
    EXPECT_EQ(200, r.right - r.left); // the size is left alone

    // Given explicitly, the same window is used.
    SetWindowPos(popup, NULL, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    CentreOnOwner(popup, owner);
    EXPECT_EQ(200, WindowRect(popup).left);
}

TEST(CentreOnOwner, MinimizedOrHiddenOwnerGivesTheWorkArea)
{
    Windows w;
    HWND owner = w.Add(MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{40, 60, 340, 260}));
    HWND popup = w.Add(MakeWindow(WS_POPUP, RECT{0, 0, 200, 100}, owner));
    RECT work = WorkArea();
    LONG x = (work.left + work.right) / 2 - 100, y = (work.top + work.bottom) / 2 - 50;

    ShowWindow(owner, SW_MINIMIZE);
    CentreOnOwner(popup, NULL);
    EXPECT_EQ(x, WindowRect(popup).left);
    EXPECT_EQ(y, WindowRect(popup).top);

    ShowWindow(owner, SW_RESTORE);
    CentreOnOwner(popup, NULL);
    EXPECT_NE(x, WindowRect(popup).left); // back on the owner

    ShowWindow(owner, SW_HIDE);
    CentreOnOwner(popup, owner);
    EXPECT_EQ(x, WindowRect(popup).left);
    EXPECT_EQ(y, WindowRect(popup).top);
}

TEST(CentreOnOwner, OwnerMayNameAnotherWindowWhenNoneIsGiven)
{
    Windows w;
    HWND owner = w.Add(MakeWindow(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100}));
    HWND other = w.Add(MakeWindow(WS_POPUP | WS_VISIBLE, RECT{600, 400, 900, 700}));
    HWND popup = w.Add(MakeWindow(WS_POPUP, RECT{0, 0, 100, 50}, owner));
    SetPropA(owner, "CentreInstead", other);
    CentreOnOwner(popup, NULL);
    EXPECT_EQ(700, WindowRect(popup).left);
    EXPECT_EQ(525, WindowRect(popup).top);
    // A window passed in is not asked.
    CentreOnOwner(popup, owner);
    EXPECT_EQ(0, WindowRect(popup).left);
    EXPECT_EQ(25, WindowRect(popup).top);
    RemovePropA(owner, "CentreInstead");
}

TEST(CentreOnOwner, PopupPastTheWorkAreaEdgesIsPulledBackIn)
{
    Windows w;
    RECT work = WorkArea();
    HWND owner =
        w.Add(MakeWindow(WS_POPUP | WS_VISIBLE, RECT{work.right - 100, work.bottom - 50,
                                                     work.right + 300, work.bottom + 250}));
    HWND popup = w.Add(MakeWindow(WS_POPUP, RECT{0, 0, 200, 100}, owner));
    CentreOnOwner(popup, NULL);
    RECT r = WindowRect(popup);
    EXPECT_EQ(work.right, r.right);
    EXPECT_EQ(work.bottom, r.bottom);

    SetWindowPos(owner, NULL, -300, work.top - 280, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    CentreOnOwner(popup, NULL);
    r = WindowRect(popup);
    EXPECT_EQ(work.left, r.left);
    EXPECT_EQ(work.top, r.top);
}

TEST(CentreOnOwner, ChildIsCentredInItsParentsClientArea)
{
    Windows w;
    HWND parent =
        w.Add(MakeWindow(WS_POPUP | WS_CAPTION | WS_BORDER | WS_VISIBLE, RECT{50, 50, 450, 350}));
    HWND child = w.Add(MakeWindow(WS_CHILD | WS_VISIBLE, RECT{0, 0, 100, 50}, parent));
    RECT client;
    GetClientRect(parent, &client);
    CentreOnOwner(child, NULL);
    RECT r = ChildRect(child);
    EXPECT_EQ(client.right / 2 - 50, r.left);
    EXPECT_EQ(client.bottom / 2 - 25, r.top);

    // A hidden parent is still used: visibility only matters for pop-ups.
    ShowWindow(parent, SW_HIDE);
    SetWindowPos(child, NULL, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    CentreOnOwner(child, NULL);
    EXPECT_EQ(client.right / 2 - 50, ChildRect(child).left);
}

TEST(CentreOnOwner, ChildCentredOnASiblingUsesTheSiblingsClientArea)
{
    Windows w;
    HWND parent = w.Add(MakeWindow(WS_POPUP | WS_VISIBLE, RECT{50, 50, 450, 350}));
    HWND sibling =
        w.Add(MakeWindow(WS_CHILD | WS_VISIBLE | WS_BORDER, RECT{20, 30, 220, 130}, parent));
    HWND child = w.Add(MakeWindow(WS_CHILD | WS_VISIBLE, RECT{0, 0, 40, 20}, parent));
    // The sibling's client area is 21,31 - 219,129 in the parent: its centre is 120,80.
    CentreOnOwner(child, sibling);
    RECT r = ChildRect(child);
    EXPECT_EQ(100, r.left);
    EXPECT_EQ(70, r.top);

    // Larger than the parent's client area: left and top edges first.
    SetWindowPos(child, NULL, 0, 0, 600, 500, SWP_NOMOVE | SWP_NOZORDER);
    CentreOnOwner(child, sibling);
    r = ChildRect(child);
    EXPECT_EQ(0, r.left);
    EXPECT_EQ(0, r.top);
}

// A dialog from the program's own templates, run through RunCentredDialog.
static bool HookWasInstalled;
static RECT DialogRect;

static INT_PTR CALLBACK RecordingDialogProc(HWND hwnd, UINT msg, WPARAM, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        HookWasInstalled = CentringHookHandle != NULL;
        PostMessageA(hwnd, WM_APP, 0, 0); // after the hook has had its turn
        return TRUE;
    case WM_APP:
        GetWindowRect(hwnd, &DialogRect);
        EndDialog(hwnd, 42);
        return TRUE;
    }
    return FALSE;
}

static void ExpectCentredOn(RECT outer, RECT inner)
{
    EXPECT_NEAR((outer.left + outer.right) / 2, (inner.left + inner.right) / 2, 1);
    EXPECT_NEAR((outer.top + outer.bottom) / 2, (inner.top + inner.bottom) / 2, 1);
}

TEST(RunCentredDialog, OpensCentredOnTheOwnerAndRemovesTheHook)
{
    AppInstance = GetModuleHandleA(NULL);
    Windows w;
    HWND owner = w.Add(MakeWindow(WS_POPUP | WS_VISIBLE, RECT{60, 80, 560, 480}));
    ASSERT_EQ(NULL, CentringHookHandle);
    EXPECT_EQ(42, RunCentredDialog(IDD_ABOUT, owner, RecordingDialogProc, 0));
    EXPECT_TRUE(HookWasInstalled);
    EXPECT_EQ(NULL, CentringHookHandle);
    ExpectCentredOn(WindowRect(owner), DialogRect);

    // Inside a span that already holds the hook it uses that hook, and removes it.
    InstallCentringHook();
    SetWindowPos(owner, NULL, 400, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(42, RunCentredDialog(IDD_ABOUT, owner, RecordingDialogProc, 0));
    EXPECT_EQ(NULL, CentringHookHandle);
    ExpectCentredOn(WindowRect(owner), DialogRect);
    RemoveCentringHook(); // as the span's end would: nothing left to remove

    ShowWindow(owner, SW_HIDE);
    EXPECT_EQ(42, RunCentredDialog(IDD_ABOUT, owner, RecordingDialogProc, 0));
    ExpectCentredOn(WorkArea(), DialogRect);

    EXPECT_EQ(-1, RunCentredDialog(999, owner, RecordingDialogProc, 0));
    EXPECT_EQ(NULL, CentringHookHandle);
}

// Answers the dialogs that a file-dialog span opens, from a second thread, as a user would.
struct Answerer {
    HWND owner = NULL;
    std::string path; // typed into the file dialog; empty: cancel it
    bool answerBox = false;
    RECT fileDialog{}, box{};
    std::string boxText;
};

static HWND FindOwnedDialog(HWND owner)
{
    for (int i = 0; i < 200; i++) {
        HWND hwnd = NULL;
        while ((hwnd = FindWindowExA(NULL, hwnd, "#32770", NULL)) != NULL) {
            if (GetWindow(hwnd, GW_OWNER) == owner && IsWindowVisible(hwnd)) {
                Sleep(250);
                return hwnd;
            }
        }
        Sleep(25);
    }
    return NULL;
}

static HWND FileNameEdit(HWND dialog)
{
    HWND item = GetDlgItem(dialog, 0x47C);
    for (int depth = 0; item && depth < 3; depth++) {
        char name[32] = "";
        GetClassNameA(item, name, sizeof name);
        if (_stricmp(name, "Edit") == 0) return item;
        item = GetWindow(item, GW_CHILD);
    }
    return NULL;
}

static DWORD WINAPI AnswerDialogs(void* context)
{
    Answerer* a = (Answerer*)context;
    HWND dialog = FindOwnedDialog(a->owner);
    if (!dialog) return 1;
    GetWindowRect(dialog, &a->fileDialog);
    if (a->path.empty()) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    } else {
        SendMessageA(FileNameEdit(dialog), WM_SETTEXT, 0, (LPARAM)a->path.c_str());
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }
    if (!a->answerBox) return 0;
    while (IsWindow(dialog) && IsWindowVisible(dialog))
        Sleep(20);
    HWND box = FindOwnedDialog(a->owner);
    if (!box) return 1;
    GetWindowRect(box, &a->box);
    char text[256] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    a->boxText = text;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return 0;
}

struct SpanRecord {
    int calls = 0;
    std::string path;
    bool hookDuringWork = false;
    bool hookAfterBox = true;
};

static void RecordWork(HWND owner, const char* path, void* context)
{
    SpanRecord* record = (SpanRecord*)context;
    record->calls++;
    record->path = path;
    record->hookDuringWork = CentringHookHandle != NULL;
    ShowMessage(owner, "作業中の警告", "", MB_ICONEXCLAMATION);
    record->hookAfterBox = CentringHookHandle != NULL;
}

static void RunSpan(Answerer& answerer, SpanRecord& record)
{
    char file[MAX_PATH] = "";
    OPENFILENAMEA ofn;
    PrepareFileDialog(&ofn, answerer.owner, file, "すべてのファイル (*.*)\0*.*\0", NULL, 0x1804,
                      NULL);
    HANDLE thread = CreateThread(NULL, 0, AnswerDialogs, &answerer, 0, NULL);
    RunFileDialogSpan(&ofn, false, RecordWork, &record);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
}

TEST(RunFileDialogSpan, CancelledDialogRunsNoWorkAndLeavesNoHook)
{
    AppInstance = GetModuleHandleA(NULL);
    Windows w;
    Answerer answerer;
    answerer.owner = w.Add(MakeWindow(WS_POPUP | WS_VISIBLE, RECT{100, 60, 700, 560}));
    SpanRecord record;
    RunSpan(answerer, record);
    EXPECT_EQ(0, record.calls);
    EXPECT_EQ(NULL, CentringHookHandle);
    // Wine's file dialog changes its height after WM_INITDIALOG; its width holds.
    RECT owner = WindowRect(answerer.owner);
    EXPECT_NEAR((owner.left + owner.right) / 2,
                (answerer.fileDialog.left + answerer.fileDialog.right) / 2, 1);
}

TEST(RunFileDialogSpan, ChosenFileIsWorkedOnWithTheHookAndABoxInsideEndsIt)
{
    AppInstance = GetModuleHandleA(NULL);
    Windows w;
    Answerer answerer;
    answerer.owner = w.Add(MakeWindow(WS_POPUP | WS_VISIBLE, RECT{300, 200, 800, 600}));
    answerer.path = "C:\\windows\\notepad.exe";
    answerer.answerBox = true;
    SpanRecord record;
    RunSpan(answerer, record);
    EXPECT_EQ(1, record.calls);
    EXPECT_STREQ("C:\\windows\\notepad.exe", record.path.c_str());
    EXPECT_TRUE(record.hookDuringWork);
    EXPECT_FALSE(record.hookAfterBox); // the box removed the span's hook
    EXPECT_EQ(NULL, CentringHookHandle);
    EXPECT_EQ("作業中の警告", answerer.boxText);
    ExpectCentredOn(WindowRect(answerer.owner), answerer.box);
}
