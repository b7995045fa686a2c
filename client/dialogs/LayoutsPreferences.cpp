// Layouts of the Preferences notebook, its pages and the voice chooser.

#include <wx/notebook.h>
#include <wx/panel.h>

#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/LayoutKit.h"

using namespace LayoutKit;

const char* const kMoreVoicesAddress = "https://www.pemberlode.example/rookwell/voices/";
const char* const kMoreEnginesAddress = "https://www.pemberlode.example/rookwell/engines/";

namespace {

typedef wxSizer* (*PageLayout)(wxWindow*, bool, bool);

void AddPage(wxNotebook* notebook, const char* title, PageLayout layout)
{
    wxPanel* page = new wxPanel(notebook, wxID_ANY);
    layout(page, true, true);
    notebook->AddPage(page, Str(title));
}

wxStaticBoxSizer* VoiceGroup(wxWindow* parent, const char* title, int textId, int buttonId,
                             const char* buttonLabel, const char* tip)
{
    wxStaticBoxSizer* group = Group(parent, title, wxVERTICAL);
    wxBoxSizer* row = Row();
    Add(row, Text(parent, textId, wxSize(120, -1), wxTE_READONLY, nullptr), 1);
    Add(row, Button(parent, buttonId, buttonLabel, tip));
    Add(group, row, 1);
    return group;
}

wxStaticBoxSizer* BrowserColumn(wxWindow* parent, const char* title, int firstId,
                                std::initializer_list<const char*> labelsAndTips)
{
    wxStaticBoxSizer* group = Group(parent, title, wxVERTICAL);
    wxBoxSizer* column = Column();
    int id = firstId;
    for (const char* const* p = labelsAndTips.begin(); p + 1 < labelsAndTips.end(); p += 2)
        Add(column, Check(parent, id++, p[0], p[1]), 1);
    Add(group, column, 1);
    return group;
}

} // namespace

wxSizer* PreferencesLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxNotebook* notebook = new wxNotebook(parent, ID_PREFS_NOTEBOOK, wxDefaultPosition, wxDefaultSize, 0, "notebook");
    AddPage(notebook, "Voice", VoicePageLayout);
    AddPage(notebook, "Board", BoardPageLayout);
    AddPage(notebook, "Music", MusicPageLayout);
    AddPage(notebook, "Browser", BrowserPageLayout);
    AddPage(notebook, "Updates", UpdatesPageLayout);
    AddPage(notebook, "Performance", PerformancePageLayout);
    Add(top, notebook, 1, GROW);
    wxBoxSizer* buttons = Row();
    Add(buttons, Button(parent, ID_PREFS_HELP, "&Help", "Help on the preferences"));
    Add(buttons, Button(parent, ID_PREFS_OK, "&OK", "Keep the changes", true));
    Add(buttons, Button(parent, ID_PREFS_CANCEL, "&Cancel", "Forget the changes"));
    Add(top, buttons, 0, RIGHT);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* VoicePageLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* row = Row();
    wxBoxSizer* column = Column();
    Add(column, VoiceGroup(parent, "Your Voice", ID_PREFS_WHITE_VOICE, ID_PREFS_WHITE_VOICE_CHANGE, "Ch&ange",
                           "Change your voice"),
        1, GROW);
    Add(column, VoiceGroup(parent, "Opponent's Voice", ID_PREFS_BLACK_VOICE, ID_PREFS_BLACK_VOICE_CHANGE, "Cha&nge",
                           "Change opponent's voice"),
        1, GROW);
    Add(row, column, 1, GROW);
    Add(top, row, 1, GROW);
    Add(top, Check(parent, ID_PREFS_SAY_CHECK, "&Say 'check'"), 0, 0, 10);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* BoardPageLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* row = Row();
    wxStaticBoxSizer* group = Group(parent, "Installed Boards", wxHORIZONTAL);
    wxBoxSizer* list = Column();
    // Sized like the other lists: an unsized list that gets entries while its
    // page is hidden leaves GTK no room for its scroll bar.
    Add(list, List(parent, ID_PREFS_BOARDS, wxSize(140, 100), true, nullptr), 1);
    Add(group, list, 0, GROW);
    wxBoxSizer* about = Row();
    Add(about, Text(parent, ID_PREFS_BOARD_ABOUT, wxSize(220, -1), wxTE_READONLY | wxTE_MULTILINE | wxTE_RICH,
                    nullptr),
        1, GROW);
    Add(group, about, 1, GROW);
    Add(row, group, 1, GROW);
    Add(top, row, 1, GROW);
    Add(top, Check(parent, ID_PREFS_HIDE_LINKS, "&Hide board links", "Hides the links drawn around the board"));
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* MusicPageLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxStaticBoxSizer* group = Group(parent, "Music", wxVERTICAL);
    Add(group, Check(parent, ID_PREFS_MUSIC_ENABLE, "&Play music", "Plays music in the background"));
    wxBoxSizer* row = Row();
    Add(row, Label(parent, ID_LABEL, "Volume"));
    Add(row, Slider(parent, ID_PREFS_MUSIC_VOLUME, 255, 0, 255, wxSize(160, -1), false,
                    "Move the slider to change the volume of the music"),
        1, GROW);
    Add(group, row, 0, GROW);
    Add(top, group, 0, GROW);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* BrowserPageLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* row = Row();
    Add(row, BrowserColumn(parent, "Left Column", ID_PREFS_BROWSER_ACTIVE_GAMES,
                           {"Active Games", "Displays a list of currently active games",
                            "Tip of the day", "Displays a useful tip",
                            "News", "Displays informative news items",
                            "Played Games", "Displays the games in your played games folder"}),
        1, GROW);
    Add(row, BrowserColumn(parent, "Right Column", ID_PREFS_BROWSER_LAUNCHPAD,
                           {"Launchpad", "Quick links to Rookwell features",
                            "Profile", "Displays your profile information",
                            "Statistics", "Displays statistics on the games you have played",
                            "Links", "Displays useful links"}),
        1, GROW);
    Add(top, row, 1, GROW);
    wxBoxSizer* apply = Column();
    Add(apply, Button(parent, ID_PREFS_BROWSER_APPLY, "&Apply", "Applies the changes and refreshes the browser"));
    Add(top, apply);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* UpdatesPageLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxStaticBoxSizer* program = Group(parent, "Program", wxVERTICAL);
    Add(program, Check(parent, ID_PREFS_UPDATES_APP, "Check for new version",
                       "Looks once a week for a newer version of Rookwell"));
    wxBoxSizer* checkRow = Row();
    Add(checkRow, Button(parent, ID_PREFS_CHECK_NOW, "&Check now", "Checks for a newer version of Rookwell now"));
    Add(checkRow, Label(parent, ID_LABEL, "Checks for a newer version of Rookwell"));
    Add(program, checkRow);
    Add(top, program, 0, GROW);
    wxStaticBoxSizer* browser = Group(parent, "Browser", wxVERTICAL);
    Add(browser, Check(parent, ID_PREFS_UPDATES_BROWSER, "Update browser",
                       "Downloads news and links for the browser once a week"));
    Add(browser, Button(parent, ID_PREFS_UPDATE_NOW, "&Update now", "Downloads news and links now"));
    Add(top, browser, 0, GROW);
    Add(top, Label(parent, ID_LABEL,
                   "Updates are done once a week.\n(No personal information is sent.)\n"
                   "Downloaded files are are stored in\n\"Rookwell\\Live Content\"",
                   wxDefaultSize, wxALIGN_CENTRE_HORIZONTAL),
        1);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* PerformancePageLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* body = Column();
    wxStaticBoxSizer* graphics = Group(parent, "Graphics", wxVERTICAL);
    wxBoxSizer* boxes = Column();
    Add(boxes, Check(parent, ID_PREFS_16BIT, "Use 16 bit graphics",
                     "Uses thousands of colours rather than the usual millions"));
    Add(boxes, Check(parent, ID_PREFS_DISABLE_FILTERING, "Disable filtering",
                     "Disables the smoothing effect when images are scaled"));
    Add(boxes, Check(parent, ID_PREFS_SMALL_TEXTURES, "No large textures",
                     "Restricts texture sizes to a maximum of 256 x 256 pixels"));
    Add(graphics, boxes);
    Add(graphics, Label(parent, ID_LABEL, "Recommended only for older graphics cards."));
    Add(body, graphics, 0, GROW);
    wxStaticBoxSizer* sound = Group(parent, "Sound", wxVERTICAL);
    wxBoxSizer* mute = Column();
    Add(mute, Check(parent, ID_PREFS_MUTE, "Mute", "Disables all sound"), 1);
    Add(mute, Label(parent, ID_LABEL, "Check to disable sound."), 1);
    Add(sound, mute);
    Add(body, sound, 0, GROW);
    wxBoxSizer* note = Row();
    Add(note, Label(parent, ID_LABEL, "Changes to this tab will take effect on the next run.", wxDefaultSize,
                    wxALIGN_CENTRE_HORIZONTAL),
        1);
    Add(body, note, 1, GROW);
    Add(top, body, 1, GROW);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* SelectVoiceLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* row = Row();
    wxStaticBoxSizer* group = Group(parent, "Installed Voices", wxHORIZONTAL);
    wxBoxSizer* column = Column();
    Add(column, List(parent, ID_VOICE_LIST, wxSize(140, 100), true, "List of installed voices"), 1);
    Add(column, Button(parent, ID_VOICE_TEST, "&Test", "Test this voice"), 0, GROW);
    Add(group, column, 0, GROW);
    Add(group, Text(parent, ID_VOICE_ABOUT, wxSize(180, -1), wxTE_READONLY | wxTE_MULTILINE | wxTE_RICH,
                    "Information about this voice"),
        1, GROW);
    Add(row, group, 1, GROW);
    Add(top, row, 1, GROW);
    wxBoxSizer* buttons = Row();
    Add(buttons, Button(parent, ID_VOICE_GET_MORE, "&Get more voices",
                        "Visit www.pemberlode.example to download more voices"));
    Add(buttons, Button(parent, ID_VOICE_OK, "&OK", nullptr, true));
    Add(buttons, Button(parent, ID_VOICE_CANCEL, "&Cancel"));
    Add(top, buttons, 0, RIGHT);
    return Finish(parent, top, callFit, setSizer);
}
