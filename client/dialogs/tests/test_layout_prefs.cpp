// Layouts of the Preferences notebook, its pages and the voice chooser.

#include <wx/listbox.h>
#include <wx/notebook.h>
#include <wx/slider.h>

#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/tests/support/LayoutCheck.h"

using LayoutCheck::SLayoutCase;

namespace {

const char* const kNone = nullptr;

const std::vector<SLayoutCase>& PreferencesCases()
{
    static const std::vector<SLayoutCase> cases = {
        {"Preferences", PreferencesLayout, {},
         {{10092, "wxNotebook", kNone, kNone, kNone},
          {10093, "wxButton", "&Help", "Help on the preferences", kNone},
          {10094, "wxButton", "&OK", "Keep the changes", kNone},
          {10095, "wxButton", "&Cancel", "Forget the changes", kNone}}},
        {"VoicePage", VoicePageLayout, {},
         {{10096, "wxTextCtrl", kNone, kNone, "Your Voice"},
          {10097, "wxButton", "Ch&ange", "Change your voice", "Your Voice"},
          {10098, "wxTextCtrl", kNone, kNone, "Opponent's Voice"},
          {10099, "wxButton", "Cha&nge", "Change opponent's voice", "Opponent's Voice"},
          {10100, "wxCheckBox", "&Say 'check'", kNone, kNone}}},
        {"BoardPage", BoardPageLayout, {},
         {{10088, "wxListBox", kNone, kNone, "Installed Boards"},
          {10090, "wxTextCtrl", kNone, kNone, "Installed Boards"},
          {10091, "wxCheckBox", "&Hide board links", "Hides the links drawn around the board", kNone}}},
        {"MusicPage", MusicPageLayout, {},
         {{10127, "wxCheckBox", "&Play music", "Plays music in the background", "Music"},
          {10004, "wxStaticText", "Volume", kNone, "Music"},
          {10128, "wxSlider", kNone, "Move the slider to change the volume of the music", "Music"}}},
        {"BrowserPage", BrowserPageLayout, {},
         {{10101, "wxCheckBox", "Active Games", "Displays a list of currently active games", "Left Column"},
          {10102, "wxCheckBox", "Tip of the day", "Displays a useful tip", "Left Column"},
          {10103, "wxCheckBox", "News", "Displays informative news items", "Left Column"},
          {10104, "wxCheckBox", "Played Games", "Displays the games in your played games folder", "Left Column"},
          {10105, "wxCheckBox", "Launchpad", "Quick links to Rookwell features", "Right Column"},
          {10106, "wxCheckBox", "Profile", "Displays your profile information", "Right Column"},
          {10107, "wxCheckBox", "Statistics", "Displays statistics on the games you have played", "Right Column"},
          {10108, "wxCheckBox", "Links", "Displays useful links", "Right Column"},
          {10109, "wxButton", "&Apply", "Applies the changes and refreshes the browser", kNone}}},
        {"UpdatesPage", UpdatesPageLayout, {},
         {{10110, "wxCheckBox", "Check for new version", "Looks once a week for a newer version of Rookwell",
           "Program"},
          {10111, "wxButton", "&Check now", "Checks for a newer version of Rookwell now", "Program"},
          {10004, "wxStaticText", "Checks for a newer version of Rookwell", kNone, "Program"},
          {10112, "wxCheckBox", "Update browser", "Downloads news and links for the browser once a week", "Browser"},
          {10113, "wxButton", "&Update now", "Downloads news and links now", "Browser"},
          {10004, "wxStaticText",
           "Updates are done once a week.\n(No personal information is sent.)\nDownloaded files are are stored "
           "in\n\"Rookwell\\Live Content\"",
           kNone, kNone}}},
        {"PerformancePage", PerformancePageLayout, {},
         {{10118, "wxCheckBox", "Use 16 bit graphics", "Uses thousands of colours rather than the usual millions",
           "Graphics"},
          {10119, "wxCheckBox", "Disable filtering", "Disables the smoothing effect when images are scaled",
           "Graphics"},
          {10120, "wxCheckBox", "No large textures", "Restricts texture sizes to a maximum of 256 x 256 pixels",
           "Graphics"},
          {10004, "wxStaticText", "Recommended only for older graphics cards.", kNone, "Graphics"},
          {10121, "wxCheckBox", "Mute", "Disables all sound", "Sound"},
          {10004, "wxStaticText", "Check to disable sound.", kNone, "Sound"},
          {10004, "wxStaticText", "Changes to this tab will take effect on the next run.", kNone, kNone}}},
        {"SelectVoice", SelectVoiceLayout, {},
         {{10082, "wxListBox", kNone, "List of installed voices", "Installed Voices"},
          {10083, "wxButton", "&Test", "Test this voice", "Installed Voices"},
          {10084, "wxTextCtrl", kNone, "Information about this voice", "Installed Voices"},
          {10085, "wxButton", "&Get more voices", "Visit www.pemberlode.example to download more voices", kNone},
          {10086, "wxButton", "&OK", kNone, kNone},
          {10087, "wxButton", "&Cancel", kNone, kNone}}},
    };
    return cases;
}

} // namespace

TEST(PreferencesLayouts, EveryControlWithItsIdLabelTipAndGroup)
{
    GUI_TEST_START();
    for (const SLayoutCase& c : PreferencesCases())
        LayoutCheck::CheckCase(c);
}

TEST(PreferencesLayouts, NotebookHoldsTheSixPagesInOrder)
{
    GUI_TEST_START();
    GuiTest::CStderrCapture capture;
    wxDialog* dialog = LayoutCheck::Build(PreferencesCases()[0]);
    wxNotebook* notebook = GuiTest::Find<wxNotebook>(dialog, 10092);
    ASSERT_NE(notebook, nullptr);
    EXPECT_EQ(notebook->GetName(), "notebook");
    const char* titles[] = {"Voice", "Board", "Music", "Browser", "Updates", "Performance"};
    const int firstIds[] = {10096, 10088, 10127, 10101, 10110, 10118};
    ASSERT_EQ(notebook->GetPageCount(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(notebook->GetPageText(i), titles[i]);
        wxWindow* control = dialog->FindWindow(firstIds[i]);
        ASSERT_NE(control, nullptr) << titles[i];
        EXPECT_EQ(control->GetParent(), notebook->GetPage(i)) << titles[i];
    }
    EXPECT_EQ(dialog->GetDefaultItem(), dialog->FindWindow(10094));
    // The frame is fitted to its largest page.
    for (size_t i = 0; i < 6; ++i) {
        wxSize page = notebook->GetPage(i)->GetMinSize();
        EXPECT_LE(page.x, dialog->GetMinSize().x) << titles[i];
        EXPECT_LE(page.y, dialog->GetMinSize().y) << titles[i];
    }
    LayoutCheck::FillLists(dialog);
    dialog->Show();
    for (size_t i = 0; i < 6; ++i) {
        notebook->SetSelection(i);
        GuiTest::Pump();
        LayoutCheck::CheckPlaced(notebook->GetPage(i));
    }
    dialog->Destroy();
    GuiTest::Pump();
    EXPECT_EQ(GuiTest::GtkComplaints(capture.Finish()), "");
}

TEST(PreferencesLayouts, ListsAndBoxesStartAsTheDialogsExpect)
{
    GUI_TEST_START();
    wxDialog* dialog = LayoutCheck::Build(PreferencesCases()[0]);
    EXPECT_TRUE(GuiTest::Find<wxListBox>(dialog, 10088)->HasFlag(wxLB_SORT));
    EXPECT_TRUE(GuiTest::Find<wxListBox>(dialog, 10088)->IsEmpty());
    for (int id = 10101; id <= 10121; ++id)
        if (wxCheckBox* box = GuiTest::Find<wxCheckBox>(dialog, id)) {
            EXPECT_FALSE(box->GetValue()) << id << ": the dialog fills the boxes from the settings";
        }
    wxSlider* volume = GuiTest::Find<wxSlider>(dialog, 10128);
    EXPECT_EQ(volume->GetMin(), 0);
    EXPECT_EQ(volume->GetMax(), 255);
    EXPECT_FALSE(GuiTest::Find<wxTextCtrl>(dialog, 10096)->IsEditable());
    EXPECT_FALSE(GuiTest::Find<wxTextCtrl>(dialog, 10090)->IsEditable());
    dialog->Destroy();
    GuiTest::Pump();
}
