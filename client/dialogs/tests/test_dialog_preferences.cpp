// The Preferences notebook and the voice chooser, on real folders and
// settings, with scripted answers to their questions.

#include <wx/listbox.h>
#include <wx/slider.h>
#include <wx/textctrl.h>

#include "client/core/Prompt.h"
#include "client/dialogs/PreferencesDialog.h"
#include "client/dialogs/VoiceDialog.h"
#include "client/dialogs/tests/support/FakeApp.h"
#include "client/dialogs/tests/support/GuiTest.h"

using Zorlin::CString;

namespace {

// Also keeps the default text each text question offered.
class CRecordingPrompt : public CScriptedPrompt {
public:
    std::vector<std::string> defaults;
    bool AskText(const CString& message, const CString& caption, CString& text, wxWindow* parent) override
    {
        defaults.push_back(text.GetText());
        return CScriptedPrompt::AskText(message, caption, text, parent);
    }
};

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GuiTest::Start())
            GTEST_SKIP() << "no X display for GUI tests";
        app.WriteProgramFile("boards/large wood/about.txt", "Wood from the forest.");
        app.WriteProgramFile("boards/marble/about.txt", "Cold marble.");
        app.WriteProgramFile("boards/broken/about.txt", "Missing its graphics.");
        app.WriteProgramFile("boards/readme.txt", "not a board");
        app.WriteProgramFile("voices/Edmund/about.txt", "Edmund speaks.");
        app.WriteProgramFile("voices/Edmund/info.cfg", "overlap = 0.05\n");
        app.WriteProgramFile("voices/Clara/about.txt", "Clara speaks.");
        app.WriteProgramFile("voices/Clara/info.cfg", "overlap = 0\n");
        app.WriteProgramFile("voices/notes.txt", "not a voice");
        // What an install cut short leaves beside the boards and voices.
        app.WriteProgramFile("boards/.marble.new-4000001/about.txt", "Half a new marble.");
        app.WriteProgramFile("voices/.Clara.old-4000002/about.txt", "Clara as she was.");
        app.badBoards.insert("broken");
        app.userSettings.GetValue("Preferences.board.pack") = "large wood";
        app.userSettings.GetValue("Preferences.voices.white.pack") = "Edmund";
        app.userSettings.GetValue("Preferences.voices.black.pack") = "Clara";
        prompt.Install();
    }

    std::vector<std::string> Items(wxWindow* dialog, int id)
    {
        std::vector<std::string> out;
        wxListBox* list = GuiTest::Find<wxListBox>(dialog, id);
        for (unsigned i = 0; i < list->GetCount(); ++i)
            out.push_back(std::string(list->GetString(i).utf8_str()));
        return out;
    }
    std::string Selected(wxWindow* dialog, int id)
    {
        wxListBox* list = GuiTest::Find<wxListBox>(dialog, id);
        int i = list->GetSelection();
        return i == wxNOT_FOUND ? "(none)" : std::string(list->GetString(i).utf8_str());
    }
    std::string TextOf(wxWindow* dialog, int id)
    {
        return std::string(GuiTest::Find<wxTextCtrl>(dialog, id)->GetValue().utf8_str());
    }
    bool Box(wxWindow* dialog, int id) { return GuiTest::Find<wxCheckBox>(dialog, id)->GetValue(); }

    CFakeApp app;
    CRecordingPrompt prompt;
};

const int kBrowserIds[] = {10101, 10102, 10103, 10104, 10105, 10106, 10107, 10108};
const int kOptionIds[] = {10110, 10112, 10118, 10119, 10120, 10121};

} // namespace

TEST_F(PreferencesTest, MissingKeysOpenBrowserBoxesCheckedAndOthersUnchecked)
{
    int keys = app.userSettings.GetKeyCount();
    CPreferencesDialog dialog(nullptr);
    for (int id : kBrowserIds)
        EXPECT_TRUE(Box(&dialog, id)) << id;
    for (int id : kOptionIds)
        EXPECT_FALSE(Box(&dialog, id)) << id;
    EXPECT_EQ(app.userSettings.GetKeyCount(), keys) << "reading creates no keys";
    EXPECT_EQ(Items(&dialog, 10088), (std::vector<std::string>{"broken", "large wood", "marble"}));
    EXPECT_EQ(Selected(&dialog, 10088), "large wood");
    EXPECT_EQ(TextOf(&dialog, 10090), "Wood from the forest.");
    EXPECT_EQ(TextOf(&dialog, 10096), "Edmund");
    EXPECT_EQ(TextOf(&dialog, 10098), "Clara");
    EXPECT_FALSE(app.Called("ApplyBoardSkin:large wood")) << "opening shows the description only";
}

TEST_F(PreferencesTest, StoredValuesFillTheirBoxesWhateverTheirCase)
{
    app.userSettings.GetValue("preferences.BROWSER.active.news") = "No";
    app.userSettings.GetValue("Preferences.browser.active.links") = "false";
    app.userSettings.GetValue("Preferences.updates.APP") = "YES";
    app.userSettings.GetValue("Preferences.Graphics.small textures") = "true";
    app.userSettings.GetValue("Preferences.voices.saycheck") = "Yes";
    app.userSettings.GetValue("Preferences.board.pack") = "vanished";
    CPreferencesDialog dialog(nullptr);
    EXPECT_FALSE(Box(&dialog, 10103));
    EXPECT_FALSE(Box(&dialog, 10108));
    EXPECT_TRUE(Box(&dialog, 10101));
    EXPECT_TRUE(Box(&dialog, 10110));
    EXPECT_TRUE(Box(&dialog, 10120));
    EXPECT_FALSE(Box(&dialog, 10119));
    EXPECT_TRUE(Box(&dialog, 10100));
    EXPECT_EQ(Selected(&dialog, 10088), "(none)") << "a saved board that is not installed";
}

TEST_F(PreferencesTest, PreviewThenCancelRestoresTheSavedBoardAndWritesNothing)
{
    CPreferencesDialog dialog(nullptr);
    int result = GuiTest::RunModal(dialog, [&] {
        GuiTest::Choose(&dialog, 10088, 2);
        EXPECT_EQ(TextOf(&dialog, 10090), "Cold marble.");
        GuiTest::Toggle(&dialog, 10101, false);
        GuiTest::Click(&dialog, 10095);
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(app.Called("ApplyBoardSkin:marble"));
    EXPECT_TRUE(app.Called("Command:VIEW_BOARD"));
    EXPECT_EQ(app.calls.back(), "RefreshFrame");
    EXPECT_TRUE(app.Called("ApplyBoardSkin:large wood")) << "the preview is undone";
    EXPECT_FALSE(app.Called("SaveUserSettings"));
    EXPECT_EQ(app.Setting("Preferences.board.pack"), "large wood");
    EXPECT_EQ(app.Setting("Preferences.browser.active.activegames"), "(missing)");
}

TEST_F(PreferencesTest, PreviewThenOkKeepsTheBoardAndWritesEveryPage)
{
    CPreferencesDialog dialog(nullptr);
    GuiTest::RunModal(dialog, [&] {
        GuiTest::Choose(&dialog, 10088, 2);
        GuiTest::Toggle(&dialog, 10104, false);
        GuiTest::Toggle(&dialog, 10121, true);
        GuiTest::Toggle(&dialog, 10100, true);
        GuiTest::Click(&dialog, 10094);
    });
    EXPECT_EQ(app.Setting("Preferences.board.pack"), "marble");
    EXPECT_FALSE(app.Called("ApplyBoardSkin:large wood"));
    EXPECT_EQ(app.Setting("Preferences.browser.active.playedgames"), "no");
    EXPECT_EQ(app.Setting("Preferences.browser.active.totd"), "yes");
    EXPECT_EQ(app.Setting("Preferences.Sound.Mute"), "yes");
    EXPECT_EQ(app.Setting("Preferences.Graphics.16bit"), "no");
    EXPECT_EQ(app.Setting("Preferences.voices.saycheck"), "yes");
    EXPECT_EQ(app.Setting("Preferences.voices.white.pack"), "Edmund");
    EXPECT_FALSE(app.Called("ReloadVoices")) << "voices untouched";
    EXPECT_EQ(app.CountCalls("SaveUserSettings"), 1);
    EXPECT_TRUE(app.Called("RebuildBrowser:1"));
    EXPECT_EQ(app.calls.back(), "RefreshFrame");
}

TEST_F(PreferencesTest, BoardThatCannotBeReadBringsTheShownOneBack)
{
    CPreferencesDialog dialog(nullptr);
    GuiTest::RunModal(dialog, [&] {
        GuiTest::Choose(&dialog, 10088, 2); // marble, shown
        GuiTest::Choose(&dialog, 10088, 0); // broken
        GuiTest::Click(&dialog, 10095);
    });
    ASSERT_EQ(prompt.GetCount(), 1);
    EXPECT_STREQ(prompt.GetQuestion(0).text.GetText(), "Could not read this board");
    EXPECT_STREQ(prompt.GetQuestion(0).caption.GetText(), "Show Board");
    std::vector<std::string> skins;
    for (const std::string& c : app.calls)
        if (c.rfind("ApplyBoardSkin:", 0) == 0)
            skins.push_back(c.substr(15));
    // marble, broken, marble again as the retry, then the saved board on Cancel.
    EXPECT_EQ(skins, (std::vector<std::string>{"marble", "broken", "marble", "large wood"}));
}

TEST_F(PreferencesTest, ChangingAVoiceGoesThroughTheChooserAndReloadsOnOk)
{
    CPreferencesDialog dialog(nullptr);
    GuiTest::RunModal(dialog, [&] {
        // The chooser's own modal loop runs this.
        wxTheApp->CallAfter([] {
            for (wxWindow* top : wxTopLevelWindows)
                if (CSelectVoiceDialog* chooser = dynamic_cast<CSelectVoiceDialog*>(top)) {
                    GuiTest::Choose(chooser, 10082, 0); // Clara (sorted first)
                    GuiTest::Click(chooser, 10086);
                }
        });
        GuiTest::Click(&dialog, 10097);
        EXPECT_EQ(TextOf(&dialog, 10096), "Clara");
        GuiTest::Click(&dialog, 10094);
    });
    EXPECT_EQ(app.Setting("Preferences.voices.white.pack"), "Clara");
    EXPECT_EQ(app.Setting("Preferences.voices.black.pack"), "Clara");
    EXPECT_TRUE(app.Called("ReloadVoices"));
}

TEST_F(PreferencesTest, ButtonsThatActAtOnce)
{
    app.WriteProgramFile("cfg/update.cfg", "date = 1\nserver = \"keep me\"\n");
    CPreferencesDialog dialog(nullptr);
    GuiTest::RunModal(dialog, [&] {
        GuiTest::Toggle(&dialog, 10102, false);
        GuiTest::Click(&dialog, 10109);
        GuiTest::Click(&dialog, 10111);
        EXPECT_FALSE(dialog.FindWindow(10111)->IsEnabled());
        GuiTest::Click(&dialog, 10113);
        EXPECT_FALSE(dialog.FindWindow(10113)->IsEnabled());
        GuiTest::Toggle(&dialog, 10091, true);
        GuiTest::Click(&dialog, 10093);
        GuiTest::Click(&dialog, 10095);
    });
    EXPECT_EQ(app.Setting("Preferences.browser.active.totd"), "no") << "Apply writes the browser page";
    EXPECT_TRUE(app.Called("Command:VIEW_BROWSER"));
    EXPECT_TRUE(app.Called("StartUpdateCheck"));
    EXPECT_TRUE(app.Called("StartLiveContentDownload"));
    EXPECT_TRUE(app.Called("BoardLinks:0"));
    EXPECT_TRUE(app.Called("Help:preferences"));
    std::string update = CFakeApp::ReadFile(app.programPath + "cfg/update.cfg");
    EXPECT_NE(update.find("keep me"), std::string::npos);
    EXPECT_NE(update.find("checked"), std::string::npos);
    EXPECT_EQ(update.find("date = 1\r"), std::string::npos) << update;
    EXPECT_EQ(update.find("date = 1\n"), std::string::npos) << update;
}

TEST_F(PreferencesTest, MusicBoxAndVolumeUseTheSettingsOthersRead)
{
    app.userSettings.GetValue("preferences.music.enable") = "yes";
    app.userSettings.GetValue("Preferences.Music.Volume") = "128";
    {
        CPreferencesDialog dialog(nullptr);
        EXPECT_TRUE(Box(&dialog, 10127));
        EXPECT_EQ(GuiTest::Find<wxSlider>(&dialog, 10128)->GetValue(), 128);
        GuiTest::RunModal(dialog, [&] {
            GuiTest::Toggle(&dialog, 10127, false);
            GuiTest::Find<wxSlider>(&dialog, 10128)->SetValue(40);
            GuiTest::Click(&dialog, 10094);
        });
    }
    EXPECT_EQ(app.Setting("preferences.music.enable"), "no");
    EXPECT_EQ(app.Setting("Preferences.Music.Volume"), "40");
    CPreferencesDialog again(nullptr);
    EXPECT_FALSE(Box(&again, 10127));
}

TEST_F(PreferencesTest, VoiceChooserListsInstalledVoicesAndShowsTheCurrentOne)
{
    CString voice = "Edmund";
    CSelectVoiceDialog dialog(nullptr, wxID_ANY, &voice);
    EXPECT_EQ(Items(&dialog, 10082), (std::vector<std::string>{"Clara", "Edmund"}));
    EXPECT_EQ(Selected(&dialog, 10082), "Edmund");
    EXPECT_EQ(TextOf(&dialog, 10084), "Edmund speaks.");
    GuiTest::RunModal(dialog, [&] {
        GuiTest::Choose(&dialog, 10082, 0);
        EXPECT_EQ(TextOf(&dialog, 10084), "Clara speaks.");
        GuiTest::Click(&dialog, 10087);
    });
    EXPECT_STREQ(voice.GetText(), "Edmund") << "Cancel keeps the voice";
    GuiTest::RunModal(dialog, [&] { GuiTest::Click(&dialog, 10086); });
    EXPECT_STREQ(voice.GetText(), "Clara");

    CString missing = "Nobody";
    CSelectVoiceDialog other(nullptr, wxID_ANY, &missing);
    EXPECT_EQ(Selected(&other, 10082), "(none)");
    EXPECT_EQ(TextOf(&other, 10084), "");
}

TEST_F(PreferencesTest, VoiceTestOffersTheWordsTypedLastTime)
{
    CString voice = "Clara";
    CSelectVoiceDialog dialog(nullptr, wxID_ANY, &voice);
    prompt.QueueText("king takes queen");
    prompt.QueueText("", true);
    prompt.QueueText("ignored", false);
    GuiTest::RunModal(dialog, [&] {
        GuiTest::Click(&dialog, 10083);
        GuiTest::Click(&dialog, 10083);
        GuiTest::Click(&dialog, 10083);
        GuiTest::Click(&dialog, 10087);
    });
    ASSERT_EQ(prompt.GetCount(), 3);
    EXPECT_STREQ(prompt.GetQuestion(0).text.GetText(), "Enter some words to say.");
    EXPECT_STREQ(prompt.GetQuestion(0).caption.GetText(), "Test voice");
    EXPECT_EQ(prompt.defaults, (std::vector<std::string>{"pawn knight rook bishop queen king a b c 1 2 3",
                                                          "king takes queen", "king takes queen"}));
    EXPECT_STREQ(dialog.GetTestText().GetText(), "king takes queen") << "empty and cancelled answers keep it";
    EXPECT_EQ(prompt.GetUnexpectedCount(), 0);
}
