#include "client/dialogs/MenuBar.h"

#include <wx/menu.h>

const char* const kWebSiteMenuLabel = "&Pemberlode on the Web";

namespace {

enum EKind { NORMAL, CHECK, SEPARATOR };

struct SItem {
    int id;
    const char* label;
    EKind kind;
    const char* help;
};

wxString Text(const char* text)
{
    return wxString::FromUTF8(text);
}

void AppendItems(wxMenu* menu, const SItem* items, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const SItem& item = items[i];
        if (item.kind == SEPARATOR)
            menu->AppendSeparator();
        else
            menu->Append(item.id, Text(item.label), Text(item.help),
                         item.kind == CHECK ? wxITEM_CHECK : wxITEM_NORMAL);
    }
}

template <size_t N>
wxMenu* MakeMenu(const SItem (&items)[N])
{
    wxMenu* menu = new wxMenu;
    AppendItems(menu, items, N);
    return menu;
}

const SItem kSeparator = {0, nullptr, SEPARATOR, nullptr};

const SItem kNetworkItems[] = {
    {ID_MENU_HOST_NETWORK_GAME, "&Host a Game...", NORMAL, "Start a network game"},
    {ID_MENU_JOIN_NETWORK_GAME, "&Join a Game...", NORMAL, "Join a network game"},
};

const SItem kPgnItems[] = {
    {ID_MENU_OPEN_PGN, "&Open PGN...", NORMAL, "Open and view a PGN file"},
    {ID_MENU_EXPORT_PGN, "&Export PGN...", NORMAL, "Exports a PGN file for the current game"},
    kSeparator,
    {ID_MENU_COPY_PGN, "&Copy PGN to clipboard", NORMAL, "Copy a PGN for the current game to the clipboard"},
    {ID_MENU_PASTE_PGN, "&Paste PGN from clipboard", NORMAL, "View the PGN in the clipboard"},
    kSeparator,
    {ID_MENU_DISPLAY_PGN, "&Display PGN...", NORMAL, "Display the PGN for the current game"},
};

const SItem kGameItemsBeforeNetwork[] = {
    {ID_MENU_PLAY_ONLINE, "&Play Online", NORMAL, "Search for an opponent online"},
    {ID_MENU_NEW_COMPUTER_GAME, "Start Game Versus &Computer...", NORMAL, "Play against a chess engine"},
    {ID_MENU_NEW_EMAIL_GAME, "Start &Email Game...", NORMAL, "Play against an email opponent"},
};

const SItem kGameItemsBeforePgn[] = {
    kSeparator,
    {ID_MENU_END_GAME, "En&d Game", NORMAL, "End the current game"},
    kSeparator,
    {ID_MENU_OPEN_GAME, "&Open Game...\tCtrl-O", NORMAL, "Restore a saved game"},
    {ID_MENU_SAVE_GAME, "&Save Game...\tCtrl-S", NORMAL, "Save the current game"},
    {ID_MENU_SAVE_GAME_AS, "Save Game &As...", NORMAL, "Save the current game"},
    kSeparator,
    {ID_MENU_OPEN_TRANSPORT_FILE, "Open &RWF...", NORMAL, "Opens a Rookwell File ( ie. an email move )"},
    kSeparator,
    {ID_MENU_SAVE_SNAPSHOT, "Save Board &Snapshot...", NORMAL, "Saves an image of the current board"},
    kSeparator,
};

const SItem kGameItemsAfterPgn[] = {
    {ID_MENU_EXPORT_FEN, "Export &FEN...", NORMAL, "Exports the board position as a FEN file"},
    kSeparator,
    {ID_MENU_EXIT, "E&xit", NORMAL, "Quit the game"},
};

const SItem kViewItems[] = {
    {ID_MENU_BROWSER, "&Browser", CHECK, "Show the browser"},
    {ID_MENU_BOARD, "B&oard", CHECK, "Show the board"},
    kSeparator,
    {ID_MENU_REFRESH_BROWSER, "&Refresh Browser\tF5", NORMAL, "Refresh the information in the browser view"},
    kSeparator,
    {ID_MENU_FLIP_VIEW, "&Flip View", CHECK, "Flips the view to apponents perspective"},
    kSeparator,
    {ID_MENU_STATUS_BAR, "Show S&tatus bar", CHECK, "Shows or hides the status bar (this)"},
    {ID_MENU_COORDINATES, "Show &Coordinates", CHECK, "Displays the coordinates for Rank and File"},
    {ID_MENU_LEGAL_MOVES, "Show &Legal Moves", CHECK, "Shows all legal moves when you move the mouse over a piece"},
    {ID_MENU_LAST_MOVE, "Show L&ast Move", CHECK, "Shows the last move played"},
    {ID_MENU_SKINNED_CURSOR, "&Skinned Mouse", CHECK, "Renders a skinned (graphical) mouse cursor"},
    {ID_MENU_ANNOTATION, "Show &Annotation", CHECK, "Shows board annotation (draw with the right mouse button)"},
    kSeparator,
    {ID_MENU_PANEL, "Show &Panel\tTab", CHECK, "Show or hide the side panel"},
    kSeparator,
    {ID_MENU_MOVE_DIALOG, "Move &Dialog\tCtrl-M", CHECK, "Opens a dialog to enter your moves manualy"},
    kSeparator,
    {ID_MENU_MOVE_TEXT, "&Movetext\tCtrl-T", CHECK, "Shows / hides the moves in SAN notation"},
    {ID_MENU_CHAT, "&Chat\tCtrl-H", CHECK, "Shows / hides the chat window, for network games"},
    {ID_MENU_CLOCK, "C&lock\tCtrl-L", CHECK, "Shows / hides the game clock"},
    kSeparator,
    {ID_MENU_FULLSCREEN, "&Fullscreen\tF11", NORMAL, "Draws the chessboard fullscreen"},
};

const SItem kActionItems[] = {
    {ID_MENU_RESET_GAME, "R&eset Game", NORMAL, "Resets the game"},
    kSeparator,
    {ID_MENU_TAKE_BACK, "&Take Back\tCtrl-Z", NORMAL, "Take back your move"},
    {ID_MENU_OFFER_DRAW, "Offer &Draw", NORMAL, "Offer your opponent a draw"},
    {ID_MENU_RESIGN, "&Resign", NORMAL, "Resign the game"},
};

const SItem kOptionItems[] = {
    {ID_MENU_PREFERENCES, "&Preferences...", NORMAL, "Change your preferences"},
    {ID_MENU_PROFILE, "P&rofile...", NORMAL, "Your personal profile"},
    {ID_MENU_GRIDMOOR_PREFERENCES, "&Gridmoor Preferences...", NORMAL,
     "Preferences for Gridmoor (Rookwell's online service)"},
    {ID_MENU_OPPONENTS, "&Opponents...", NORMAL, "View / edit your opponent list"},
    kSeparator,
    {ID_MENU_CLEAR_ANNOTATION, "Clear &Annotation", NORMAL, "Clears your board annotation (press middle mouse button)"},
    {ID_MENU_PEN_COLOUR, "Change &Your Pen Colour...", NORMAL, "Changes the colour of your 'pen'"},
    {ID_MENU_OPPONENT_PEN_COLOUR, "Change &Opponent's Pen Colour...", NORMAL,
     "Change the colour of your opponents 'pen'"},
    kSeparator,
    {ID_MENU_CLEAR_STATISTICS, "Clear &Statistics", NORMAL, "Clears game statistics"},
    kSeparator,
    {ID_MENU_CLEAR_CHAT, "Clear C&hat", NORMAL, "Clears the chat window"},
};

const SItem kHelpItems[] = {
    {ID_MENU_HELP_CONTENTS, "&Contents\tF1", NORMAL, "Help on using Rookwell"},
    kSeparator,
    {ID_MENU_TROUBLESHOOTING, "&Troubleshooting", NORMAL, "Read this first if you are experiencing problems"},
    {ID_MENU_ONLINE_SUPPORT, "&Online Support", NORMAL, "Go to the support website"},
    kSeparator,
    {ID_MENU_ABOUT, "&About...", NORMAL, "About Rookwell"},
    kSeparator,
    {ID_MENU_WEB_SITE, kWebSiteMenuLabel, NORMAL, "Rookwell on the World Wide Web"},
};

wxMenu* MakeGameMenu()
{
    wxMenu* menu = MakeMenu(kGameItemsBeforeNetwork);
    menu->Append(ID_MENU_NETWORK_GAME, Text("&Network Game"), MakeMenu(kNetworkItems));
    AppendItems(menu, kGameItemsBeforePgn, sizeof kGameItemsBeforePgn / sizeof kGameItemsBeforePgn[0]);
    menu->Append(ID_MENU_PGN, Text("PGN"), MakeMenu(kPgnItems));
    AppendItems(menu, kGameItemsAfterPgn, sizeof kGameItemsAfterPgn / sizeof kGameItemsAfterPgn[0]);
    return menu;
}

} // namespace

wxMenuBar* CreateMenuBar()
{
    wxMenuBar* bar = new wxMenuBar;
    bar->Append(MakeGameMenu(), Text("&Game"));
    bar->Append(MakeMenu(kViewItems), Text("&View"));
    bar->Append(MakeMenu(kActionItems), Text("&Actions"));
    bar->Append(MakeMenu(kOptionItems), Text("&Options"));
    bar->Append(MakeMenu(kHelpItems), Text("&Help"));
    return bar;
}
