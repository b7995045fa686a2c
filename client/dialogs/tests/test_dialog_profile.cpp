// The profile dialog and its first-run introduction, on real settings and a
// real user folder.

#include <sys/stat.h>

#include <wx/image.h>
#include <wx/statbmp.h>
#include <wx/textctrl.h>

#include "client/core/Prompt.h"
#include "client/dialogs/ProfileDialog.h"
#include "client/dialogs/tests/support/FakeApp.h"
#include "client/dialogs/tests/support/GuiTest.h"

using Zorlin::CString;

namespace {

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GuiTest::Start())
            GTEST_SKIP() << "no X display for GUI tests";
        prompt.Install();
        app.userSettings.GetValue("Profile.id") = "calculate";
    }
    void SetText(wxWindow* dialog, int id, const char* text)
    {
        GuiTest::Find<wxTextCtrl>(dialog, id)->ChangeValue(wxString::FromUTF8(text));
    }
    // The introduction's OK, pressed from inside its modal loop.
    void AnswerIntroduction()
    {
        wxTheApp->CallAfter([this] {
            for (wxWindow* top : wxTopLevelWindows)
                if (CProfileIntroDialog* intro = dynamic_cast<CProfileIntroDialog*>(top)) {
                    introSeen = true;
                    EXPECT_NE(intro->FindWindow(10199), nullptr) << "the globe";
                    GuiTest::Click(intro, 10200);
                }
        });
    }

    CFakeApp app;
    CScriptedPrompt prompt;
    bool introSeen = false;
};

} // namespace

TEST_F(ProfileTest, NewUserSeesTheIntroductionAndCannotCancel)
{
    AnswerIntroduction();
    CProfileDialog dialog(nullptr);
    EXPECT_TRUE(introSeen);
    EXPECT_FALSE(dialog.FindWindow(10015)->IsEnabled());
    EXPECT_EQ(dialog.GetTitle(), "Rookwell - User Profile (users/tester)");
    int result = GuiTest::RunModal(dialog, [&] {
        SetText(&dialog, 10005, "  <b>Ann</b> ");
        SetText(&dialog, 10006, "");
        SetText(&dialog, 10012, "ICQ <a href=x>123</a>");
        GuiTest::Toggle(&dialog, 10009, true);
        GuiTest::Click(&dialog, 10014);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(app.Setting("profile.name"), "Ann");
    EXPECT_EQ(app.Setting("profile.nickname"), "Ann");
    EXPECT_EQ(app.Setting("profile.otherinformation"), "ICQ 123");
    EXPECT_EQ(app.Setting("Profile.KeepIPPrivate"), "yes");
    std::string id = app.Setting("profile.id");
    EXPECT_NE(id, "calculate");
    EXPECT_TRUE(app.Called("SaveUserSettings"));
    EXPECT_EQ(app.calls.back(), "RebuildBrowser:0");

    introSeen = false;
    CProfileDialog again(nullptr);
    EXPECT_FALSE(introSeen) << "shown only before the first profile";
    EXPECT_TRUE(again.FindWindow(10015)->IsEnabled());
    EXPECT_EQ(std::string(GuiTest::Find<wxTextCtrl>(&again, 10005)->GetValue().utf8_str()), "Ann");
    GuiTest::RunModal(again, [&] { GuiTest::Click(&again, 10014); });
    EXPECT_EQ(app.Setting("profile.id"), id) << "the identifier is made once";
}

TEST_F(ProfileTest, AnEmptyNameKeepsTheDialogOpenAndWritesNothing)
{
    app.userSettings.GetValue("Profile.id") = "4F3A";
    app.userSettings.GetValue("Profile.Name") = "Old";
    CProfileDialog dialog(nullptr);
    int result = GuiTest::RunModal(dialog, [&] {
        SetText(&dialog, 10005, " <i> </i> ");
        SetText(&dialog, 10007, "new@example.org");
        GuiTest::Click(&dialog, 10014);
        EXPECT_TRUE(dialog.IsModal()) << "still open";
        GuiTest::Click(&dialog, 10015);
    });
    EXPECT_EQ(result, 0);
    ASSERT_EQ(prompt.GetCount(), 1);
    EXPECT_STREQ(prompt.GetQuestion(0).text.GetText(), "Please enter your name.");
    EXPECT_STREQ(prompt.GetQuestion(0).caption.GetText(), "Name");
    EXPECT_EQ(app.Setting("profile.name"), "Old");
    EXPECT_EQ(app.Setting("profile.email"), "(missing)");
    EXPECT_FALSE(app.Called("SaveUserSettings"));
    CProfileDialog closed(nullptr);
    EXPECT_EQ(GuiTest::RunModal(closed, [&] { GuiTest::CloseBox(&closed); }), 0);
}

TEST_F(ProfileTest, PhotoIsShownAtOnceAndStoredAtOkOnly)
{
    app.userSettings.GetValue("Profile.id") = "4F3A";
    app.userSettings.GetValue("Profile.Name") = "Ann";
    app.WriteFile(app.userPath + "photo.bmp", "the old photo");
    // Upper-case extensions, as cameras write them.
    std::string picture = app.userPath + "../HOLIDAY.PNG";
    app.WriteFile(picture, CFakeApp::ReadFile(ROOKWELL_TESTDATA "/pngsuite/basn2c08.png"));

    CProfileDialog cancelled(nullptr);
    prompt.QueueText(picture.c_str());
    GuiTest::RunModal(cancelled, [&] {
        GuiTest::Click(&cancelled, 10011);
        EXPECT_EQ(GuiTest::Find<wxStaticBitmap>(&cancelled, 10010)->GetBitmap().GetWidth(), 96) << "shown";
        EXPECT_EQ(CFakeApp::ReadFile(app.userPath + "photo.bmp"), "the old photo") << "not before OK";
        GuiTest::Click(&cancelled, 10015);
    });
    EXPECT_EQ(CFakeApp::ReadFile(app.userPath + "photo.bmp"), "the old photo");
    EXPECT_EQ(app.Setting(".supplied photo"), "(missing)");

    CProfileDialog dialog(nullptr);
    prompt.QueueText(picture.c_str());
    GuiTest::RunModal(dialog, [&] {
        GuiTest::Click(&dialog, 10011);
        GuiTest::Click(&dialog, 10014);
    });
    EXPECT_EQ(prompt.GetUnexpectedCount(), 0);
    wxImage saved;
    ASSERT_TRUE(saved.LoadFile(wxString::FromUTF8((app.userPath + "photo.bmp").c_str()), wxBITMAP_TYPE_BMP));
    EXPECT_EQ(saved.GetWidth(), 96);
    EXPECT_EQ(saved.GetHeight(), 72);
    wxImage source;
    ASSERT_TRUE(source.LoadFile(wxString::FromUTF8(picture.c_str()), wxBITMAP_TYPE_PNG));
    // The 32 x 32 picture fills 72 x 72 in the middle: its top-left pixel
    // lands at (12, 0), the border stays outside.
    EXPECT_NEAR(saved.GetRed(13, 1), source.GetRed(0, 0), 12);
    EXPECT_NEAR(saved.GetBlue(13, 1), source.GetBlue(0, 0), 12);
    EXPECT_EQ(saved.GetRed(2, 36), 64) << "border";
    EXPECT_EQ(saved.GetGreen(93, 36), 64) << "border";
    EXPECT_EQ(app.Setting(".supplied photo"), "yes");
}

TEST_F(ProfileTest, APhotoThatCannotBeStoredIsToldAtOk)
{
    app.userSettings.GetValue("Profile.id") = "4F3A";
    app.userSettings.GetValue("Profile.Name") = "Ann";
    // A folder in the photo's place: no file can be put there.
    ASSERT_EQ(mkdir((app.userPath + "photo.bmp").c_str(), 0755), 0);
    CProfileDialog dialog(nullptr);
    EXPECT_TRUE(dialog.SetPhotoFrom(ROOKWELL_TESTDATA "/pngsuite/basn2c08.png")) << "it reads";
    EXPECT_EQ(prompt.GetCount(), 0);
    GuiTest::RunModal(dialog, [&] { GuiTest::Click(&dialog, 10014); });
    ASSERT_EQ(prompt.GetCount(), 1);
    EXPECT_NE(std::string(prompt.GetQuestion(0).text.GetText()).find("could not be stored"), std::string::npos);
    EXPECT_EQ(app.Setting(".supplied photo"), "(missing)");
    EXPECT_EQ(app.Setting("profile.name"), "Ann") << "the rest of the profile is kept";
}

TEST_F(ProfileTest, AnUnreadablePictureChangesNothing)
{
    app.userSettings.GetValue("Profile.id") = "4F3A";
    app.WriteFile(app.userPath + "photo.bmp", "the old photo");
    std::string bad = app.userPath + "../broken.jpg";
    app.WriteFile(bad, "not a jpeg at all");
    CProfileDialog dialog(nullptr);
    EXPECT_FALSE(dialog.SetPhotoFrom(bad.c_str()));
    EXPECT_FALSE(dialog.SetPhotoFrom((app.userPath + "../missing.png").c_str()));
    std::string png = CFakeApp::ReadFile(ROOKWELL_TESTDATA "/pngsuite/basn2c08.png");
    std::string cut = app.userPath + "../cut.png";
    app.WriteFile(cut, png.substr(0, png.size() / 2));
    EXPECT_FALSE(dialog.SetPhotoFrom(cut.c_str()));
    ASSERT_EQ(prompt.GetCount(), 3);
    EXPECT_STREQ(prompt.GetQuestion(0).text.GetText(), "Could not read image!");
    EXPECT_STREQ(prompt.GetQuestion(0).caption.GetText(), "Error");
    EXPECT_EQ(CFakeApp::ReadFile(app.userPath + "photo.bmp"), "the old photo");
    EXPECT_EQ(app.Setting(".supplied photo"), "(missing)");
}
