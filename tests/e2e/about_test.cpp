#include "tests/e2e/about_helpers.h"
#include "tests/e2e/driver.h"
#include "res/resource.h"

using namespace driver;
using namespace about;

class AboutBoxTest : public KorvanelTest
{
  protected:
    // Opens the box from the Help menu with the main window away from the screen's centre, so
    // that centring on the owner and centring on the screen differ.
    HWND Open()
    {
        if (!app.main) {
            if (!Start(app, "", ProgramPath())) return NULL;
            SetWindowPos(app.main, NULL, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            Sync(app.main);
        }
        Command(app.main, IDM_ABOUT);
        HWND box = WaitForAboutBox(app.main);
        if (box) Sync(box);
        return box;
    }
};

TEST_F(AboutBoxTest, OpensCentredOnMainWindowWithTheProgramsOwnVersionTexts)
{
    HWND box = Open();
    ASSERT_TRUE(box);
    POINT boxCentre = Centre(WindowRect(box)), mainCentre = Centre(WindowRect(app.main));
    EXPECT_NEAR(mainCentre.x, boxCentre.x, 1);
    EXPECT_NEAR(mainCentre.y, boxCentre.y, 1);
    EXPECT_FALSE(IsWindowEnabled(app.main));
    // Enter reaches the default button only while the focus is not in the multi-line field.
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), FocusedControl(app));

    std::string program = ProgramPath();
    EXPECT_EQ(VersionString(program, "FileDescription"), ItemText(box, IDC_ABOUT_TITLE));
    EXPECT_EQ(VersionString(program, "LegalCopyright"), ItemText(box, IDC_ABOUT_COPYRIGHT));
    EXPECT_EQ(VersionString(program, "Comments"), ItemText(box, IDC_ABOUT_COMMENTS));
    EXPECT_EQ("Cakewalk 5.0 以降に存在する [ツール] メニューを編集するための、簡易エディタ。",
              ItemText(box, IDC_ABOUT_COMMENTS));
    EXPECT_NE(std::string::npos, ItemText(box, IDC_ABOUT_MAIL).find('@'));
    EXPECT_EQ(0u, ItemText(box, IDC_ABOUT_HOME_PAGE).find("http://"));

    PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntilGone(box));
    Sync(app.main);
    EXPECT_TRUE(IsWindowEnabled(app.main));
}

TEST_F(AboutBoxTest, AddressesCanBeCopiedButNotEdited)
{
    HWND box = Open();
    ASSERT_TRUE(box);
    for (int id : {IDC_ABOUT_MAIL, IDC_ABOUT_HOME_PAGE, IDC_ABOUT_COMMENTS}) {
        HWND field = GetDlgItem(box, id);
        EXPECT_TRUE(GetWindowLongA(field, GWL_STYLE) & ES_READONLY) << id;
        std::string before = Text(field);
        SendMessageA(field, WM_CHAR, 'x', 1);
        SendMessageA(field, WM_CHAR, VK_BACK, 1);
        SendMessageA(field, WM_CLEAR, 0, 0);
        EXPECT_EQ(before, Text(field)) << id;

        SendMessageA(field, EM_SETSEL, 0, -1);
        SendMessageA(field, WM_COPY, 0, 0);
        EXPECT_EQ(before, ClipboardText()) << id;
    }
}

TEST_F(AboutBoxTest, EscEnterOkAndCloseBoxEachCloseIt)
{
    enum Way { Esc, Enter, OkButton, CloseBox };
    for (Way way : {Esc, Enter, OkButton, CloseBox}) {
        HWND box = Open();
        ASSERT_TRUE(box) << way;
        // Only IDCANCEL ends the box; OK carries it, and any other command is ignored.
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        Sync(box);
        EXPECT_TRUE(IsWindowVisible(box)) << way;

        Foreground(box);
        switch (way) {
        case Esc: Keys({VK_ESCAPE}); break;
        case Enter: Keys({VK_RETURN}); break;
        case OkButton: Click(Centre(WindowRect(GetDlgItem(box, IDCANCEL)))); break;
        case CloseBox: PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0); break;
        }
        EXPECT_TRUE(WaitUntilGone(box)) << way;
        Sync(app.main);
        EXPECT_TRUE(IsWindowEnabled(app.main)) << way;
    }
}

TEST_F(AboutBoxTest, WithoutAVersionResourceOpensWithTheAddressesOnly)
{
    std::string program = FreshDirectory("unversioned") + "Korvanel.exe";
    ASSERT_TRUE(CopyFileA(ProgramPath().c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(HideVersionResource(program));
    ASSERT_EQ("<no version resource>", VersionString(program, "Comments"));

    ASSERT_TRUE(Start(app, "", program));
    HWND box = Open();
    ASSERT_TRUE(box);
    EXPECT_EQ("", ItemText(box, IDC_ABOUT_TITLE));
    EXPECT_EQ("", ItemText(box, IDC_ABOUT_COPYRIGHT));
    EXPECT_EQ("", ItemText(box, IDC_ABOUT_COMMENTS));
    EXPECT_NE("", ItemText(box, IDC_ABOUT_MAIL));
    EXPECT_NE("", ItemText(box, IDC_ABOUT_HOME_PAGE));
    PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(WaitUntilGone(box));
}
