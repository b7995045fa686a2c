// Layouts of the windows of e-mail play.

#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/LayoutKit.h"

using namespace LayoutKit;

namespace {

wxStaticBoxSizer* OpponentDetails(wxWindow* parent)
{
    wxStaticBoxSizer* group = Group(parent, "Opponent's Details", wxVERTICAL);
    wxFlexGridSizer* grid = FlexGrid(2);
    Add(grid, Label(parent, ID_EMAILGAME_NAME_LABEL, "Name", wxDefaultSize, wxALIGN_RIGHT));
    Add(grid, Text(parent, ID_EMAILGAME_NAME, wxSize(160, -1), 0, "Opponent's name"));
    Add(grid, Label(parent, ID_LABEL, "Email", wxDefaultSize, wxALIGN_CENTRE_HORIZONTAL));
    Add(grid, Text(parent, ID_EMAILGAME_EMAIL, wxSize(160, -1), 0, "Opponent's email address"));
    Add(group, grid, 1);
    return group;
}

} // namespace

wxSizer* EmailGameLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    Add(top, Label(parent, ID_LABEL, "Enter your opponent's name and email address, or select their name from the list."),
        1, GROW, 15);
    wxBoxSizer* row = Row();
    wxStaticBoxSizer* opponents = Group(parent, "Opponents", wxVERTICAL);
    Add(opponents, List(parent, ID_EMAILGAME_OPPONENTS, wxSize(140, 100), true, "List of opponents"), 1, GROW);
    Add(row, opponents, 1, GROW);
    wxBoxSizer* column = Column();
    Add(column, OpponentDetails(parent), 1);
    Add(column, RadioBox(parent, ID_EMAILGAME_START_AS, "Start as", {"White", "Black", "Random"}, 1, true,
                         "Select which colour you wish to play, or let the computer choose a random colour"),
        0, GROW);
    Add(row, column, 0, GROW);
    Add(top, row);
    AddSpacer(top, 20, 20);
    wxBoxSizer* buttons = Row();
    Add(buttons, Button(parent, ID_EMAILGAME_HELP, "&Help"));
    Add(buttons, Button(parent, ID_EMAILGAME_OK, "&OK", nullptr, true));
    Add(buttons, Button(parent, ID_EMAILGAME_CANCEL, "&Cancel"));
    Add(top, buttons, 0, RIGHT);
    return Finish(parent, top, callFit, setSizer);
}

namespace {

wxBoxSizer* TurnHeader(wxWindow* parent)
{
    wxBoxSizer* row = Row();
    wxFlexGridSizer* address = FlexGrid(2, 1);
    Add(address, Label(parent, ID_LABEL, "To"));
    Add(address, Text(parent, ID_SENDEMAIL_TO, wxSize(80, -1), 0, "Opponent's email address"), 0, GROW);
    Add(address, Label(parent, ID_LABEL, "Subject"));
    Add(address, Text(parent, ID_SENDEMAIL_SUBJECT, wxSize(80, -1), 0, "Subject of the email"), 0, GROW);
    Add(row, address, 1);
    wxBoxSizer* move = Column();
    Add(move, Label(parent, ID_LABEL, "Your Move"));
    Add(move, Text(parent, ID_SENDEMAIL_MOVE, wxSize(80, 26), wxTE_READONLY, "Your move (filled in automatically)",
                   Font(12, wxFONTFAMILY_ROMAN, wxFONTWEIGHT_BOLD)),
        1);
    Add(row, move, 0, GROW);
    wxBoxSizer* actions = Column();
    Add(actions, Label(parent, ID_LABEL, "Actions"));
    wxGridSizer* boxes = Grid(2, 0);
    Add(boxes, Check(parent, ID_SENDEMAIL_OFFER_DRAW, "Offer draw", "Offer your opponent a draw"));
    Add(boxes, Check(parent, ID_SENDEMAIL_RESIGN, "Resign", "Resign the game"));
    Add(actions, boxes, 1, GROW);
    Add(row, actions, 0, GROW);
    Add(row, Button(parent, ID_SENDEMAIL_SEND, "&Send", "Send email to opponent", true, wxSize(60, -1)), 0, GROW);
    return row;
}

wxBoxSizer* TurnToolbar(wxWindow* parent)
{
    wxBoxSizer* row = Row();
    Add(row, Label(parent, ID_SENDEMAIL_MOVE_NO, "Move no:", wxSize(70, -1)));
    Add(row, Button(parent, ID_SENDEMAIL_QUOTE, "&Quote", "Quote opponents mail"));
    Add(row, Line(parent, wxSize(-1, 20), true), 0, GROW);
    Add(row, Check(parent, ID_SENDEMAIL_SEND_PROFILE, "Send profile", "Check to re-send your profile"));
    Add(row, Line(parent, wxSize(-1, 20), true), 0, GROW);
    Add(row, Radio(parent, ID_SENDEMAIL_SHOW_MESSAGE, "Message", "Show opponents message", true));
    Add(row, Radio(parent, ID_SENDEMAIL_SHOW_REPLY, "Reply", "Show your reply", false));
    Add(row, Line(parent, wxSize(-1, 20), true), 0, GROW);
    return row;
}

} // namespace

wxSizer* SendEmailLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    Add(top, TurnHeader(parent), 0, GROW);
    Add(top, Line(parent, wxSize(20, -1), false), 0, GROW);
    Add(top, TurnToolbar(parent));
    Add(top, Text(parent, ID_SENDEMAIL_TEXT, wxDefaultSize, wxTE_MULTILINE | wxTE_RICH,
                  "To reply to opponent's message click 'Reply', above", Font(12, wxFONTFAMILY_SWISS)),
        1, GROW);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* SendOrSaveLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    Add(top, Label(parent, ID_LABEL,
                   "Do you wish to email the turn automatically or save the turn file?\n\n"
                   "If you choose to save the turn file you should send it to your\n"
                   "opponent by some other means."),
        0, 0, 15);
    Add(top, Line(parent, wxSize(20, -1), false), 0, GROW);
    wxBoxSizer* buttons = Row();
    Add(buttons, Button(parent, ID_SENDORSAVE_EMAIL, "&Email", "Email the move automatically (recommended)", true));
    Add(buttons, Button(parent, ID_SENDORSAVE_SAVE, "&Save",
                        "Save the turn file (so you can send it to your opponent yourself)"));
    Add(buttons, Button(parent, ID_SENDORSAVE_HELP, "&Help", "Help on send email"));
    Add(buttons, Button(parent, ID_SENDORSAVE_CANCEL, "&Cancel", "Don't send (or save)"));
    Add(top, buttons);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* EmailInvitationLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* row = Row();
    wxStaticBoxSizer* opponents = Group(parent, "Opponents", wxVERTICAL);
    Add(opponents, List(parent, ID_INVITE_OPPONENTS, wxSize(140, 90), true, "List of opponents", {"ListItem"}));
    Add(row, opponents);
    wxBoxSizer* column = Column();
    wxStaticBoxSizer* email = Group(parent, "Email", wxVERTICAL);
    Add(email, Text(parent, ID_INVITE_EMAIL, wxSize(80, -1), 0, "Email address to send invitation"), 1, GROW);
    Add(column, email, 0, GROW);
    wxBoxSizer* buttons = Row();
    Add(buttons, Button(parent, ID_INVITE_SEND, "&Send Invitation", nullptr, true));
    Add(buttons, Button(parent, ID_INVITE_CANCEL, "&Cancel"));
    Add(column, buttons, 1);
    Add(row, column, 0, GROW);
    Add(top, row);
    return Finish(parent, top, callFit, setSizer);
}
