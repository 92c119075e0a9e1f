#include "tests/e2e/driver.h"
#include "tests/e2e/editing_helpers.h"
#include "tests/e2e/endurance_helpers.h"
#include "res/resource.h"

using namespace driver;
using namespace endurance;
using Outcome = ::testing::AssertionResult;

// A user who leaves the program open all day repeats the same few commands hundreds of times;
// each repetition must give back every GDI object, USER object and kernel handle it took.
class EnduranceTest : public KorvanelTest
{
  protected:
    enum { DISPLAY_CONTEXT_SLACK = 12 };

    // What the program holds once it has handled everything sent to it.
    Resources Settled()
    {
        editing::Settle(app.main);
        Resources resources = Count(app);
        EXPECT_TRUE(resources.Complete()) << Describe(resources);
        return resources;
    }

    static bool Same(const Resources& a, const Resources& b)
    {
        return a.gdiObjects == b.gdiObjects && a.displayContexts == b.displayContexts &&
               a.windows == b.windows && a.menus == b.menus && a.icons == b.icons &&
               a.accelerators == b.accelerators && a.handles == b.handles;
    }

    // Wine fills caches of its own during the first repetitions (display contexts for the
    // windows painted, for one), so the baseline is taken once three repetitions in a row have
    // left the counts as they found them. A program that leaks never gets there.
    template <typename Repeat> Outcome WarmUp(Repeat repeat, Resources& baseline)
    {
        Resources previous = Settled();
        int unchanged = 0;
        for (int round = 0; round < 15; round++) {
            Outcome done = repeat(round);
            if (!done) return done;
            Resources now = Settled();
            unchanged = Same(previous, now) ? unchanged + 1 : 0;
            previous = now;
            if (unchanged == 3) {
                baseline = now;
                return ::testing::AssertionSuccess();
            }
        }
        return ::testing::AssertionFailure()
               << "still changing after 15 rounds: " << Describe(previous);
    }

    // Counts must be back where they were: a leak of one object per repetition would be off by
    // the number of repetitions. The one exception is Wine's cache of display contexts, which
    // keeps each one released for reuse and adds one (a DC, its clipping region and its bitmap)
    // whenever more are in use at once than ever before. That depends on how the painting of
    // windows happened to overlap, so it may still grow after the warm-up, but only by a few,
    // where a context that is never released would add one per repetition.
    static void ExpectSame(const Resources& before, const Resources& after, const char* what)
    {
        SCOPED_TRACE(std::string("before: ") + Describe(before) + "\nafter:  " + Describe(after));
        long cacheGrowth = after.displayContexts - before.displayContexts;
        EXPECT_LE(0, cacheGrowth) << what;
        EXPECT_GE(DISPLAY_CONTEXT_SLACK, cacheGrowth) << what;
        EXPECT_EQ(before.gdiObjects + 3 * cacheGrowth, after.gdiObjects) << what;
        EXPECT_EQ(before.windows, after.windows) << what;
        EXPECT_EQ(before.menus, after.menus) << what;
        EXPECT_EQ(before.icons, after.icons) << what;
        EXPECT_EQ(before.accelerators, after.accelerators) << what;
        EXPECT_EQ(before.handles, after.handles) << what;
    }

    // Entries whose programs have icons, one whose program is missing and one without a path
    // (the shell gives a folder icon for that).
    static void PutMixedEntries()
    {
        PutEntry("Regedit", "C:\\windows\\regedit.exe", "レジストリ(&R)",
                 "レジストリを編集します。");
        PutEntry("Notepad", "C:\\windows\\notepad.exe", "メモ帳(&N)", "");
        PutEntry("Korvanel", KorvanelPath(), "コルヴァネル(&T)", "コルヴァネルを起動します。");
        PutEntry("Missing", "C:\\no\\such\\program.exe", "ない(&M)", "");
        PutEntry("NoPath", "", "空(&E)", "");
    }
    enum { MIXED_ENTRIES = 5, MIXED_ENTRIES_WITH_ICONS = 4 };
};

TEST_F(EnduranceTest, ThousandRefreshesGiveBackEveryIconAndKey)
{
    PutMixedEntries();
    ASSERT_TRUE(Start(app));
    Resources before;
    ASSERT_TRUE(WarmUp(
        [&](int) {
            Command(app.main, IDM_REFRESH);
            return ::testing::AssertionSuccess();
        },
        before));
    ASSERT_EQ(MIXED_ENTRIES, ItemCount(app));

    // The count sees the program's icons: emptied, the list gives them back, with their bitmaps.
    ClearToolsMenu();
    Command(app.main, IDM_REFRESH);
    Resources empty = Settled();
    EXPECT_EQ(MIXED_ENTRIES_WITH_ICONS, before.icons - empty.icons) << Describe(empty);
    EXPECT_LE(2 * MIXED_ENTRIES_WITH_ICONS, before.gdiObjects - empty.gdiObjects);
    PutMixedEntries();

    Foreground(app.main);
    for (int i = 1; i <= 1000; i++) {
        // Mostly as the menu sends it, now and then by the F5 key through the accelerators.
        if (i % 100 == 0) {
            editing::Settle(app.main);
            PressKey(VK_F5);
        } else {
            Command(app.main, IDM_REFRESH);
        }
        if (i % 50 == 0) editing::Settle(app.main);
    }
    Resources after = Settled();
    ExpectSame(before, after, "after 1000 refreshes");
    EXPECT_EQ(MIXED_ENTRIES, ItemCount(app));
}

TEST_F(EnduranceTest, TwoHundredRegisterAndDeleteCyclesLeaveNothingBehind)
{
    PutEntry("Keep A", "C:\\windows\\regedit.exe", "残す A(&A)", "");
    PutEntry("Keep B", "C:\\windows\\notepad.exe", "残す B(&B)", "");
    ASSERT_TRUE(Start(app));

    // One cycle: register a new entry, every fourth time register it again over itself (which
    // asks), then select it and delete it (which asks too).
    auto cycle = [&](int i) {
        editing::SetFields(app, "Cycle", "C:\\windows\\regedit.exe", "サイクル(&C)",
                           "登録と削除を繰り返します。");
        Command(app.main, IDT_REGISTER);
        editing::Settle(app.main);
        int index = IndexOf(app, "Cycle");
        if (index < 0) return ::testing::AssertionFailure() << "not registered in cycle " << i;
        if (i % 4 == 0) {
            Select(app, index);
            SetField(app, IDC_MENU_TEXT, "上書き(&O)");
            Command(app.main, IDM_REGISTER);
            Box question = Answer(app.main, IDYES);
            if (question.caption != "上書き保存の確認")
                return ::testing::AssertionFailure() << "overwrite in cycle " << i << ": "
                                                     << question.caption << " " << question.text;
            editing::Settle(app.main);
            index = IndexOf(app, "Cycle");
            if (index < 0) return ::testing::AssertionFailure() << "overwritten away in " << i;
        }
        Select(app, index);
        Command(app.main, IDT_DELETE);
        Box question = Answer(app.main, IDYES);
        if (question.caption != "削除の確認")
            return ::testing::AssertionFailure()
                   << "delete in cycle " << i << ": " << question.caption << " " << question.text;
        editing::Settle(app.main);
        if (IndexOf(app, "Cycle") >= 0 || ItemCount(app) != 2)
            return ::testing::AssertionFailure() << "not deleted in cycle " << i;
        return ::testing::AssertionSuccess();
    };

    // Whole rounds of four, so that every round asks the same questions.
    auto fourCycles = [&](int round) {
        for (int i = 0; i < 4; i++) {
            Outcome done = cycle(4 * round + i);
            if (!done) return done;
        }
        return ::testing::AssertionSuccess();
    };
    Resources before;
    ASSERT_TRUE(WarmUp(fourCycles, before));
    for (int i = 0; i < 200; i++)
        ASSERT_TRUE(cycle(i));
    Resources after = Settled();
    ExpectSame(before, after, "after 200 register and delete cycles");
    EXPECT_FALSE(KeyExists("Cycle"));
    EXPECT_TRUE(KeyExists("Keep A"));
    EXPECT_TRUE(KeyExists("Keep B"));
}

TEST_F(EnduranceTest, HundredAboutBoxesLeaveNothingBehind)
{
    ASSERT_TRUE(Start(app));
    Resources whileOpen;
    auto openAndClose = [&](int i) {
        Command(app.main, IDM_ABOUT);
        HWND box = WaitForBox(app.main, 5000, "バージョン情報");
        if (!box) return ::testing::AssertionFailure() << "no About box at " << i;
        whileOpen = Count(app);
        if (!Dismiss(box, IDCANCEL)) return ::testing::AssertionFailure() << "stays open at " << i;
        return ::testing::AssertionSuccess();
    };

    Resources before;
    ASSERT_TRUE(WarmUp(openAndClose, before));
    // The count sees the box: its windows and its bold title font while it is open.
    EXPECT_LE(before.windows + 10, whileOpen.windows) << Describe(whileOpen);
    EXPECT_LT(before.gdiObjects, whileOpen.gdiObjects) << Describe(whileOpen);

    for (int i = 0; i < 100; i++)
        ASSERT_TRUE(openAndClose(i));
    Resources after = Settled();
    ExpectSame(before, after, "after 100 About boxes");
    EXPECT_TRUE(IsWindowEnabled(app.main));
}

TEST_F(EnduranceTest, TwoHundredContextMenusLeaveNothingBehind)
{
    PutEntry("First", "C:\\windows\\regedit.exe", "一番目(&1)", "");
    PutEntry("Second", "C:\\windows\\notepad.exe", "二番目(&2)", "");
    ASSERT_TRUE(Start(app));
    Foreground(app.main);
    DWORD processId = app.process.dwProcessId;
    // The clicks alternate between the two items: a second right click on the same spot within
    // the double-click time is a double click, which opens no menu.
    int clicks = 0;
    Resources whileOpen;
    auto openAndClose = [&](int i) {
        int item = clicks++ % 2;
        RightClick(ItemCentre(app, item));
        HWND popup = WaitForPopupMenu(processId);
        if (!popup) return ::testing::AssertionFailure() << "no context menu at " << i;
        whileOpen = Count(app);
        PressKey(VK_ESCAPE);
        if (!WaitUntilNoPopupMenu(processId))
            return ::testing::AssertionFailure() << "context menu stays open at " << i;
        editing::Settle(app.main);
        if (Selection(app) != item)
            return ::testing::AssertionFailure() << "the clicked item is not selected at " << i;
        return ::testing::AssertionSuccess();
    };

    Resources before;
    ASSERT_TRUE(WarmUp(openAndClose, before));
    EXPECT_LT(before.windows, whileOpen.windows) << "the popup is counted: " << Describe(whileOpen);

    for (int i = 0; i < 200; i++)
        ASSERT_TRUE(openAndClose(i));
    Resources after = Settled();
    ExpectSame(before, after, "after 200 context menus");
    EXPECT_EQ(std::vector<std::string>({"First", "Second"}), ItemNames(app));
}
