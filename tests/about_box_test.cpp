// The About box's own procedure on its real template, inside this process, where its fonts can
// be examined directly.
#include <windows.h>
#include <gtest/gtest.h>
#include <string>
#include "app/app.h"
#include "dialogs/dialogs.h"
#include "res/resource.h"

static HWND CreateAboutBox()
{
    // The test program carries the same resources as Korvanel.exe.
    AppInstance = GetModuleHandleA(NULL);
    return CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(IDD_ABOUT), NULL, AboutBoxProc, 0);
}

static std::string ItemText(HWND box, int id)
{
    char text[512] = "";
    GetDlgItemTextA(box, id, text, sizeof text);
    return text;
}

TEST(AboutBoxProc, TitleIsTheTemplateFontInBoldWithA15PixelCell)
{
    HWND box = CreateAboutBox();
    ASSERT_TRUE(box);
    HFONT title = (HFONT)SendDlgItemMessageA(box, IDC_ABOUT_TITLE, WM_GETFONT, 0, 0);
    HFONT dialogFont = (HFONT)SendMessageA(box, WM_GETFONT, 0, 0);
    ASSERT_NE(dialogFont, title);
    LOGFONTA titleFace{}, dialogFace{};
    ASSERT_TRUE(GetObjectA(title, sizeof titleFace, &titleFace));
    ASSERT_TRUE(GetObjectA(dialogFont, sizeof dialogFace, &dialogFace));
    EXPECT_EQ(15, titleFace.lfHeight);
    EXPECT_EQ(FW_BOLD, titleFace.lfWeight);
    EXPECT_STREQ(dialogFace.lfFaceName, titleFace.lfFaceName);
    EXPECT_EQ(dialogFace.lfCharSet, titleFace.lfCharSet);
    EXPECT_EQ(dialogFace.lfItalic, titleFace.lfItalic);
    // The other texts keep the template's font.
    EXPECT_EQ(dialogFont, (HFONT)SendDlgItemMessageA(box, IDC_ABOUT_COPYRIGHT, WM_GETFONT, 0, 0));

    DestroyWindow(box);
    EXPECT_EQ(0u, GetObjectType(title)) << "the title font outlived its box";
}

TEST(AboutBoxProc, ShowsTheVersionTextsAndTheMakersAddresses)
{
    HWND box = CreateAboutBox();
    ASSERT_TRUE(box);
    EXPECT_EQ("Cakewalk 5.0 以降に存在する [ツール] メニューを編集するための、簡易エディタ。",
              ItemText(box, IDC_ABOUT_COMMENTS));
    EXPECT_NE(std::string::npos, ItemText(box, IDC_ABOUT_TITLE).find("コルヴァネル"));
    EXPECT_NE(std::string::npos, ItemText(box, IDC_ABOUT_COPYRIGHT).find("Korvanel Works"));
    EXPECT_EQ("korvanel@example.jp", ItemText(box, IDC_ABOUT_MAIL));
    EXPECT_EQ("http://www.example.jp/korvanel/", ItemText(box, IDC_ABOUT_HOME_PAGE));
    DestroyWindow(box);
}
