// Layouts of the windows of network play and the stored opponents.

#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/LayoutKit.h"

using namespace LayoutKit;

wxSizer* JoinNetworkGameLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* row = Row();
    wxStaticBoxSizer* opponents = Group(parent, "Opponents", wxVERTICAL);
    Add(opponents, List(parent, ID_JOIN_OPPONENTS, wxSize(140, 100), true, nullptr), 1, GROW);
    Add(row, opponents, 1, GROW);
    wxBoxSizer* column = Column();
    wxStaticBoxSizer* server = Group(parent, "Server", wxVERTICAL);
    wxBoxSizer* address = Row();
    Add(address, Label(parent, ID_LABEL, "IP or machine name"), 0, 0, 10);
    Add(address, Text(parent, ID_JOIN_ADDRESS, wxSize(120, -1), 0, nullptr));
    Add(server, address, 1);
    Add(server, Button(parent, ID_JOIN_JOIN, "&Join Game", "Join server", true), 0, GROW);
    Add(column, server, 0, GROW);
    Add(column, Text(parent, ID_JOIN_STATUS, wxSize(80, 60), wxTE_READONLY | wxTE_MULTILINE, nullptr), 0, GROW);
    Add(row, column, 0, GROW);
    Add(top, row);
    wxBoxSizer* foot = Column();
    wxBoxSizer* buttons = Row();
    Add(buttons, Button(parent, ID_JOIN_HELP, "&Help!"));
    Add(buttons, Button(parent, ID_JOIN_VOICES, "&Voices"), 0, RIGHT);
    Add(buttons, Button(parent, ID_JOIN_CANCEL, "&Cancel"));
    Add(foot, buttons);
    Add(top, foot, 0, RIGHT);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* StartNetworkGameLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* row = Row();
    wxStaticBoxSizer* server = Group(parent, "Server", wxHORIZONTAL);
    wxBoxSizer* inner = Row();
    Add(inner, Button(parent, ID_HOST_START, "&Start!", "Start server and wait for opponent to join", true), 0, GROW);
    Add(inner, Gauge(parent, ID_HOST_GAUGE, 100), 1, GROW);
    Add(server, inner, 1, GROW);
    Add(row, server, 1, GROW);
    Add(row, RadioBox(parent, ID_HOST_START_AS, "Start As", {"White", "Black", "Random"}, 1, false,
                      "Select your colour, or let the computer choose a colour at random"),
        0, GROW);
    Add(top, row, 1, GROW);
    Add(top, Text(parent, ID_HOST_STATUS, wxSize(80, 86), wxTE_MULTILINE, nullptr), 0, GROW);
    wxBoxSizer* buttons = Row();
    Add(buttons, Button(parent, ID_HOST_EMAIL_INVITE, "&Email Invite",
                        "Sends a email to your opponent (makes it easier to get started)"));
    Add(buttons, Button(parent, ID_HOST_VOICES, "&Voices"));
    Add(buttons, Button(parent, ID_HOST_HELP, "&Help"));
    Add(buttons, Button(parent, ID_HOST_CANCEL, "&Cancel"));
    Add(top, buttons, 0, RIGHT);
    return Finish(parent, top, callFit, setSizer);
}

namespace {

wxStaticBoxSizer* OpponentList(wxWindow* parent)
{
    wxStaticBoxSizer* group = Group(parent, "Opponents", wxVERTICAL);
    Add(group, List(parent, ID_OPPONENTS_LIST, wxSize(140, 100), true, "List of opponents"), 1);
    Add(group, Button(parent, ID_OPPONENTS_REMOVE, "&Remove Opponent", "Remove this opponent from your list"), 0,
        GROW);
    return group;
}

wxStaticBoxSizer* OpponentDetails(wxWindow* parent)
{
    wxStaticBoxSizer* group = Group(parent, "Details", wxVERTICAL);
    wxBoxSizer* row = Row();
    wxBoxSizer* photo = Column();
    AddFound(photo, parent, ID_OPPONENTS_PHOTO);
    Add(row, photo);
    wxFlexGridSizer* grid = FlexGrid(2, 1);
    Add(grid, Label(parent, ID_LABEL, "Name"));
    Add(grid, Text(parent, ID_OPPONENTS_NAME, wxSize(120, -1), 0, "Opponent's name"), 0, GROW);
    Add(grid, Label(parent, ID_LABEL, "Nick"));
    Add(grid, Text(parent, ID_OPPONENTS_NICK, wxSize(120, -1), 0, "Opponent's nick-name"), 0, GROW);
    Add(grid, Label(parent, ID_LABEL, "Email"));
    Add(grid, Text(parent, ID_OPPONENTS_EMAIL, wxSize(80, -1), 0, "Opponent's email address"), 0, GROW);
    Add(grid, Label(parent, ID_LABEL, "IP"));
    Add(grid, Text(parent, ID_OPPONENTS_IP, wxSize(80, -1), 0, "Opponent's IP"), 0, GROW);
    Add(row, grid, 1, GROW);
    Add(group, row, 0, GROW);
    wxBoxSizer* other = Column();
    Add(other, Label(parent, ID_LABEL, "Other Information"));
    Add(other, Text(parent, ID_OPPONENTS_OTHER_INFO, wxSize(80, 60), wxTE_MULTILINE | wxTE_RICH,
                    "Other contact details"),
        1, GROW);
    Add(group, other, 1, GROW);
    return group;
}

} // namespace

wxSizer* OpponentsLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxFlexGridSizer* grid = FlexGrid(2, 1);
    Add(grid, OpponentList(parent), 0, GROW);
    Add(grid, OpponentDetails(parent), 0, GROW);
    Add(top, grid, 0, GROW);
    wxStaticBoxSizer* notes = Group(parent, "Notes", wxHORIZONTAL);
    Add(notes, Text(parent, ID_OPPONENTS_NOTES, wxSize(80, 76), wxTE_MULTILINE | wxTE_RICH, "Your notes"), 1, GROW);
    Add(top, notes, 1, GROW);
    wxBoxSizer* buttons = Row();
    Add(buttons, Button(parent, ID_OPPONENTS_HELP, "&Help"));
    Add(buttons, Button(parent, ID_OPPONENTS_OK, "&OK", nullptr, true));
    Add(top, buttons, 0, RIGHT);
    return Finish(parent, top, callFit, setSizer);
}
