// Layouts of the user profile and its first-run introduction.

#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/LayoutKit.h"

using namespace LayoutKit;

namespace {

wxStaticBoxSizer* DetailsGroup(wxWindow* parent)
{
    wxStaticBoxSizer* group = Group(parent, "Your Details", wxVERTICAL);
    wxFlexGridSizer* grid = FlexGrid(2, 1);
    Add(grid, Label(parent, ID_LABEL, "Name"));
    Add(grid, Text(parent, ID_PROFILE_NAME, wxSize(200, -1), 0, "Your name"), 0, GROW);
    Add(grid, Label(parent, ID_LABEL, "Nickname", wxDefaultSize, 0, SFont(), "The name shown in the chat box"));
    Add(grid, Text(parent, ID_PROFILE_NICKNAME, wxSize(150, -1), 0, "The name shown in the chatbox"), 0, GROW);
    Add(grid, Label(parent, ID_LABEL, "Email"));
    Add(grid, Text(parent, ID_PROFILE_EMAIL, wxSize(150, -1), 0, "Your email address"), 0, GROW);
    Add(group, grid, 0, GROW, 10);
    wxBoxSizer* privacy = Column();
    Add(privacy, Check(parent, ID_PROFILE_KEEP_EMAIL_PRIVATE, "Keep email private ( for non-email games )",
                       "Don't send your email in network games"));
    Add(privacy, Check(parent, ID_PROFILE_KEEP_IP_PRIVATE, "Keep IP private ( for non-network games )",
                       "Don't send your IP address in email games"));
    Add(group, privacy);
    return group;
}

wxStaticBoxSizer* PhotoGroup(wxWindow* parent)
{
    wxStaticBoxSizer* group = Group(parent, "Photo", wxVERTICAL);
    AddFound(group, parent, ID_PROFILE_PHOTO);
    wxBoxSizer* row = Row();
    Add(row, Button(parent, ID_PROFILE_BROWSE, "&Browse", "Browse for a photo that will be shown to your opponents"),
        1, GROW);
    Add(group, row, 1, GROW);
    return group;
}

} // namespace

wxSizer* ProfileLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* upper = Row();
    Add(upper, DetailsGroup(parent), 1, GROW);
    Add(upper, PhotoGroup(parent), 0, GROW);
    Add(top, upper, 0, GROW);
    wxStaticBoxSizer* other = Group(parent, "Other Information", wxHORIZONTAL);
    Add(other, Text(parent, ID_PROFILE_OTHER_INFO, wxSize(200, 88), wxTE_MULTILINE | wxTE_RICH,
                    "Other information you want your opponent to see ( IM / ICQ / homepage etc.)",
                    Font(10, wxFONTFAMILY_SWISS)),
        1, GROW);
    Add(top, other, 1, GROW, 10);
    wxBoxSizer* buttons = Row();
    Add(buttons, Button(parent, ID_PROFILE_HELP, "&Help", nullptr, false, wxDefaultSize, wxBORDER_NONE));
    Add(buttons, Button(parent, ID_PROFILE_OK, "&OK", nullptr, true));
    Add(buttons, Button(parent, ID_PROFILE_CANCEL, "&Cancel"));
    Add(top, buttons, 0, RIGHT);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* ProfileIntroLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* outer = Column();
    wxBoxSizer* row = Row();
    AddFound(row, parent, ID_INTRO_GLOBE);
    wxBoxSizer* column = Column();
    Add(column, Label(parent, ID_LABEL,
                      "Please fill out the following dialog to create a user profile.\n\n"
                      "Your profile is sent to your opponent when you play a\nnetwork or email game."),
        0, GROW);
    wxBoxSizer* buttons = Row();
    Add(buttons, Button(parent, ID_INTRO_OK, "OK", nullptr, true));
    Add(column, buttons, 1);
    Add(row, column, 0, GROW);
    Add(outer, row);
    Add(top, outer);
    return Finish(parent, top, callFit, setSizer);
}
