// Layouts of the windows of online play.

#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/LayoutKit.h"

using namespace LayoutKit;

wxSizer* OnlineSearchLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* row = Row();
    wxBoxSizer* globe = Column();
    AddFound(globe, parent, ID_SEARCH_GLOBE);
    Add(globe, Label(parent, ID_SEARCH_TITLE, "Gridmoor", wxDefaultSize, wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE),
        0, GROW);
    Add(row, globe);
    wxBoxSizer* outer = Column();
    wxBoxSizer* inner = Column();
    Add(inner, Label(parent, ID_SEARCH_HINT, "Click the hyperlinks below to edit your search."));
    AddFound(inner, parent, ID_SEARCH_PAGE, 1, GROW);
    Add(inner, Button(parent, ID_SEARCH_FIND, "&Find Opponent", "Search for opponents worldwide", true), 0, GROW);
    Add(outer, inner, 1, GROW);
    Add(row, outer, 1, GROW);
    Add(top, row, 1, GROW);
    wxBoxSizer* buttons = Row();
    Add(buttons, Button(parent, ID_SEARCH_HELP, "&Help"));
    Add(buttons, Button(parent, ID_SEARCH_CANCEL, "&Cancel"));
    Add(top, buttons, 0, RIGHT);
    return Finish(parent, top, callFit, setSizer);
}

namespace {

wxStaticBoxSizer* GameTimeGroup(wxWindow* parent)
{
    wxStaticBoxSizer* group = Group(parent, "Game time", wxVERTICAL);
    wxFlexGridSizer* grid = FlexGrid(3, 2);
    Add(grid, Check(parent, ID_SETTINGS_MIN_ENABLED, "At least", "Only games with at least this much time"));
    Add(grid, Spin(parent, ID_SETTINGS_MIN, "1", 1, 99, 1, wxSize(60, -1), "Least time on each clock"));
    Add(grid, Label(parent, ID_SETTINGS_MIN_LABEL, "minutes per side"));
    Add(grid, Check(parent, ID_SETTINGS_MAX_ENABLED, "At most", "Only games with at most this much time"));
    Add(grid, Spin(parent, ID_SETTINGS_MAX, "60", 1, 99, 60, wxSize(60, -1), "Most time on each clock"));
    Add(grid, Label(parent, ID_SETTINGS_MAX_LABEL, "minutes per side"));
    Add(group, grid, 0, GROW);
    return group;
}

wxStaticBoxSizer* SkillGroup(wxWindow* parent)
{
    wxStaticBoxSizer* group = Group(parent, "Opponent's experience", wxVERTICAL);
    wxGridSizer* grid = Grid(0, 3);
    Add(grid, Check(parent, ID_SETTINGS_SKILL_BEGINNER, "Beginner"));
    Add(grid, Check(parent, ID_SETTINGS_SKILL_INTERMEDIATE, "Intermediate"));
    Add(grid, Check(parent, ID_SETTINGS_SKILL_SKILLED, "Skilled"));
    Add(grid, Check(parent, ID_SETTINGS_SKILL_ADVANCED, "Advanced"));
    Add(grid, Check(parent, ID_SETTINGS_SKILL_EXPERT, "Expert"));
    Add(group, grid, 0, GROW);
    wxBoxSizer* buttons = Row();
    Add(buttons, Button(parent, ID_SETTINGS_ALL_SKILLS, "&All levels", "Accept opponents of every level"));
    Add(buttons, Button(parent, ID_SETTINGS_PREFERENCES, "Your &level...",
                        "Set your own experience level and what you share"));
    Add(group, buttons);
    return group;
}

} // namespace

wxSizer* OnlineSearchSettingsLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* clock = Row();
    Add(clock, RadioBox(parent, ID_SETTINGS_CLOCK, "Clock", {"Untimed games only", "Timed games only", "Either"}, 1,
                        false, "Which games you want: with a clock, without, or either"),
        0, GROW);
    Add(clock, GameTimeGroup(parent), 1, GROW);
    Add(top, clock, 0, GROW);
    Add(top, SkillGroup(parent), 0, GROW);
    Add(top, RadioBox(parent, ID_SETTINGS_SIDE, "Your colour", {"White", "Black", "Either"}, 1, true,
                      "The colour you want to play"),
        0, GROW);
    wxBoxSizer* buttons = Row();
    Add(buttons, Button(parent, ID_SETTINGS_DEFAULT, "&Default Search", "Search as broadly as possible"));
    Add(buttons, Button(parent, ID_SETTINGS_OK, "&OK", nullptr, true));
    Add(buttons, Button(parent, ID_SETTINGS_CANCEL, "&Cancel"));
    Add(top, buttons, 0, RIGHT);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* OnlinePreferencesLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* body = Column();
    wxStaticBoxSizer* location = Group(parent, "Location", wxVERTICAL);
    Add(location, Label(parent, ID_LABEL,
                        "Select your country from the list below.\nSelect 'No Comment' if you prefer not to say.",
                        wxDefaultSize, wxALIGN_CENTRE_HORIZONTAL),
        0, 0, 10);
    Add(location, Choice(parent, ID_ONLINEPREFS_COUNTRY,
                         {"Item", "Item", "Item", "Item", "Item", "Item", "Item", "Item", "Item", "Item"},
                         wxSize(150, -1), "List of countries"),
        1, 0, 10);
    Add(body, location, 0, GROW);
    wxStaticBoxSizer* level = Group(parent, "Experience Level", wxVERTICAL);
    Add(level, Label(parent, ID_LABEL,
                     "Select your chess experience level from the choices below.\n"
                     "This setting is used to match you with online opponents.",
                     wxDefaultSize, wxALIGN_CENTRE_HORIZONTAL),
        0, 0, 10);
    Add(level, Choice(parent, ID_ONLINEPREFS_SKILL, {"Beginner", "Intermediate", "Skilled", "Advanced", "Expert"},
                      wxSize(150, -1), "Experience Levels"),
        1, 0, 10);
    Add(body, level, 0, GROW);
    wxStaticBoxSizer* options = Group(parent, "Options", wxVERTICAL);
    wxBoxSizer* boxes = Column();
    Add(boxes, Check(parent, ID_ONLINEPREFS_SEND_PHOTO, "Send photo to opponent",
                     "Check if you want to send your photo to opponents"));
    Add(boxes, Check(parent, ID_ONLINEPREFS_SEND_EMAIL, "Send email address to opponent",
                     "Check if you want to send your email address to your opponents"));
    Add(boxes, Check(parent, ID_ONLINEPREFS_STORE_OPPONENTS, "Store opponent's details",
                     "Check if you want to store the details of Gridmoor opponents"));
    Add(options, boxes);
    Add(body, options, 0, GROW);
    wxBoxSizer* buttons = Row();
    Add(buttons, Button(parent, ID_ONLINEPREFS_HELP, "&Help"));
    Add(buttons, Button(parent, ID_ONLINEPREFS_OK, "&OK", nullptr, true));
    Add(buttons, Button(parent, ID_ONLINEPREFS_CANCEL, "&Cancel"));
    Add(body, buttons, 0, RIGHT);
    Add(top, body, 1, GROW);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* SendChallengeLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* outer = Column();
    wxBoxSizer* row = Row();
    Add(row, Check(parent, ID_CHALLENGE_TIMED, "Timed game", "Check to play with a clock"));
    Add(row, Spin(parent, ID_CHALLENGE_MINUTES, "0", 1, 99, 0, wxSize(60, -1), "Time on the clock"));
    Add(row, Label(parent, ID_CHALLENGE_MINUTES_LABEL, "minutes per side"));
    Add(outer, row);
    Add(top, outer, 0, 0, 10);
    wxBoxSizer* buttons = Row();
    Add(buttons, Button(parent, ID_CHALLENGE_SEND, "&Send Challenge", "Send a challenge to your opponent", true), 1);
    Add(buttons, Button(parent, ID_CHALLENGE_CANCEL, "&Cancel"));
    Add(top, buttons, 1, GROW);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* NewPlayerAlertLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* text = Column();
    Add(text, Label(parent, ID_LABEL,
                    "Rookwell can alert you when there is someone looking for a game.\n\n"
                    "You can continue to use Rookwell in the meantime, and you are\n"
                    "not obligated to play the new person."),
        0, 0, 10);
    Add(top, text);
    wxBoxSizer* box = Column();
    Add(box, Check(parent, ID_ALERT_ENABLE, "Alert me when a new player comes online",
                   "Displays a pop-up and plays a noise when there is someone looking for a game", true),
        0, 0, 10);
    Add(top, box, 0, 0, 10);
    wxBoxSizer* buttons = Row();
    Add(buttons, Button(parent, ID_ALERT_OK, "OK", nullptr, true));
    Add(top, buttons);
    return Finish(parent, top, callFit, setSizer);
}
