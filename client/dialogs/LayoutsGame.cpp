// Layouts of the windows of local play.

#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/Icons.h"
#include "client/dialogs/LayoutKit.h"
#include "client/dialogs/PgnGameList.h"

using namespace LayoutKit;

wxSizer* PromotionLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxStaticBoxSizer* group = Group(parent, "", wxVERTICAL);
    Add(group, Label(parent, ID_LABEL, "Promote Pawn to...", wxDefaultSize, 0,
                     Font(10, wxFONTFAMILY_SWISS, wxFONTWEIGHT_BOLD)));
    wxBoxSizer* row = Row();
    // The light-background images 4 to 7: queen, rook, bishop, knight.
    Add(row, BitmapButton(parent, ID_PROMOTE_QUEEN, GetPieceBitmap(4), wxSize(40, 40), "Queen"));
    Add(row, BitmapButton(parent, ID_PROMOTE_ROOK, GetPieceBitmap(5), wxDefaultSize, "Rook"));
    Add(row, BitmapButton(parent, ID_PROMOTE_BISHOP, GetPieceBitmap(6), wxDefaultSize, "Bishop"));
    Add(row, BitmapButton(parent, ID_PROMOTE_KNIGHT, GetPieceBitmap(7), wxDefaultSize, "Knight"));
    Add(group, row);
    Add(top, group);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* EnterMoveLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxStaticBoxSizer* group = Group(parent, "", wxVERTICAL);
    // The prompt stays in sight: the box holds the focus, which hides a hint.
    Add(group, Label(parent, ID_LABEL, "Enter your move here ( e2e4, Nf3, e8=Q etc. )"), 0, GROW);
    Add(group, Text(parent, ID_ENTERMOVE_TEXT, wxSize(100, 30), wxTE_PROCESS_ENTER,
                    "Enter your move here ( e2e4, Nf3, e8=Q etc. )",
                    Font(15, wxFONTFAMILY_ROMAN, wxFONTWEIGHT_BOLD)), 0, GROW);
    Add(top, group);
    return Finish(parent, top, callFit, setSizer);
}

namespace {

wxStaticBoxSizer* GameOverOptions(wxWindow* parent)
{
    wxStaticBoxSizer* group = Group(parent, "Options", wxVERTICAL);
    Add(group, Check(parent, ID_GAMEOVER_REMOVE_SAVED, "Remove saved game", "Delete the saved game file", true));
    Add(group, Check(parent, ID_GAMEOVER_SAVE_PGN, "Save PGN in Played Games folder",
                     "Save the game in the standard PGN format", true));
    Add(group, Check(parent, ID_GAMEOVER_RECORD_RESULT, "Record result",
                     "Update statistics with the result of this game", true));
    return group;
}

} // namespace

wxSizer* GameOverLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    Add(top, GameOverOptions(parent));
    AddSpacer(top, 12, 12);
    Add(top, Button(parent, ID_GAMEOVER_OK, "&OK", nullptr, true), 0, GROW);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* GameOverPageLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    Add(top, GameOverOptions(parent));
    wxBoxSizer* page = Column();
    AddFound(page, parent, ID_GAMEOVER_PAGE, 1, GROW);
    Add(top, page, 1, GROW);
    Add(top, Button(parent, ID_GAMEOVER_OK, "&OK", nullptr, true), 0, GROW);
    return Finish(parent, top, callFit, setSizer);
}

namespace {

wxStaticBoxSizer* EngineGroup(wxWindow* parent)
{
    wxStaticBoxSizer* group = Group(parent, "Installed Chess Engines", wxHORIZONTAL);
    wxBoxSizer* column = Column();
    // Listed in the order the dialog adds them: the folder order of the engines.
    Add(column, List(parent, ID_AI_ENGINES, wxSize(140, 100), false, "Installed chess engines"), 1, GROW);
    Add(column, Button(parent, ID_AI_MORE_ENGINES, "&More engines...",
                       "Visit the Rookwell web site to download more chess engines"), 0, GROW);
    Add(group, column, 1, GROW);
    return group;
}

wxStaticBoxSizer* TimeControlGroup(wxWindow* parent)
{
    wxStaticBoxSizer* group = Group(parent, "Time control", wxHORIZONTAL);
    wxBoxSizer* moves = Row();
    Add(moves, Spin(parent, ID_AI_MOVES, "40", 1, 1000, 40, wxSize(50, -1)));
    Add(moves, Label(parent, ID_LABEL, "moves in"));
    Add(group, moves, 0, 0, 0);
    wxBoxSizer* minutes = Row();
    Add(minutes, Spin(parent, ID_AI_MINUTES, "5", 1, 10000, 5, wxSize(50, -1)));
    Add(minutes, Label(parent, ID_LABEL, "minutes"));
    Add(group, minutes, 0, 0, 0);
    return group;
}

wxStaticBoxSizer* LevelGroup(wxWindow* parent)
{
    wxStaticBoxSizer* group = Group(parent, "Level", wxHORIZONTAL);
    Add(group, Check(parent, ID_AI_DEPTH_ENABLED, "Depth", "Restrict how many moves the computer may look ahead"));
    Add(group, Slider(parent, ID_AI_DEPTH, 4, 1, 8, wxSize(100, 30), true,
                      "Thinking depth. Move the slider left to make the computer easier to defeat, "
                      "right to make it harder."));
    Add(group, Check(parent, ID_AI_PONDERING, "Pondering", "Lets the computer 'think' during your move"));
    return group;
}

} // namespace

wxSizer* NewAIGameLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* body = Column();
    wxBoxSizer* choices = Row();
    Add(choices, EngineGroup(parent), 0, GROW);
    wxBoxSizer* options = Column();
    Add(options, RadioBox(parent, ID_AI_COMPUTER_PLAYS, "Computer Plays", {"Black", "White", "Random"}, 1, true,
                          "Select computer's colour, or let it chose at random"),
        1, GROW);
    Add(options, TimeControlGroup(parent), 0, GROW);
    Add(options, LevelGroup(parent), 0, GROW);
    Add(choices, options, 1);
    Add(body, choices, 0, GROW);
    AddFound(body, parent, ID_AI_ENGINE_INFO, 1, GROW);
    wxBoxSizer* buttons = Row();
    Add(buttons, Button(parent, ID_AI_HELP, "&Help"));
    Add(buttons, Button(parent, ID_AI_VOICES, "&Voices"), 0, RIGHT);
    Add(buttons, Button(parent, ID_AI_OK, "&OK", nullptr, true));
    Add(buttons, Button(parent, ID_AI_CANCEL, "&Cancel"));
    Add(body, buttons, 0, RIGHT);
    Add(top, body, 1, GROW);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* PgnViewerLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    // The dialog's Cancel, made before the layout, stands on the label's
    // line while the file is read.
    wxBoxSizer* line = Row();
    Add(line, Label(parent, ID_PGN_LABEL, "", wxSize(90, 20), wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE), 1);
    AddFound(line, parent, wxID_CANCEL);
    Add(top, line, 0, GROW, 0);
    // A list without a size is fitted to a height its scroll bar cannot use.
    CPgnGameList* games = new CPgnGameList(parent, ID_PGN_GAMES);
    ApplyMinSize(games, wxSize(200, 160));
    games->SetToolTip("List of games");
    Add(top, games, 1, GROW);
    return Finish(parent, top, callFit, setSizer);
}
