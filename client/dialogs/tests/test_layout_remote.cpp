// Layouts of e-mail, network and online play.

#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/radiobox.h>
#include <wx/spinctrl.h>

#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/tests/support/LayoutCheck.h"

using LayoutCheck::SLayoutCase;

namespace {

const char* const kNone = nullptr;

const std::vector<SLayoutCase>& RemoteCases()
{
    static const std::vector<SLayoutCase> cases = {
        {"EmailGame", EmailGameLayout, {},
         {{10004, "wxStaticText", "Enter your opponent's name and email address, or select their name from the list.",
           kNone, kNone},
          {10029, "wxListBox", kNone, "List of opponents", "Opponents"},
          {10030, "wxStaticText", "Name", kNone, "Opponent's Details"},
          {10031, "wxTextCtrl", kNone, "Opponent's name", "Opponent's Details"},
          {10004, "wxStaticText", "Email", kNone, "Opponent's Details"},
          {10032, "wxTextCtrl", kNone, "Opponent's email address", "Opponent's Details"},
          {10033, "wxRadioBox", "Start as",
           "Select which colour you wish to play, or let the computer choose a random colour", kNone},
          {10034, "wxButton", "&Help", kNone, kNone},
          {10035, "wxButton", "&OK", kNone, kNone},
          {10036, "wxButton", "&Cancel", kNone, kNone}}},
        {"SendEmail", SendEmailLayout, {},
         {{10004, "wxStaticText", "To", kNone, kNone},
          {10037, "wxTextCtrl", kNone, "Opponent's email address", kNone},
          {10004, "wxStaticText", "Subject", kNone, kNone},
          {10038, "wxTextCtrl", kNone, "Subject of the email", kNone},
          {10004, "wxStaticText", "Your Move", kNone, kNone},
          {10039, "wxTextCtrl", kNone, "Your move (filled in automatically)", kNone},
          {10004, "wxStaticText", "Actions", kNone, kNone},
          {10040, "wxCheckBox", "Offer draw", "Offer your opponent a draw", kNone},
          {10041, "wxCheckBox", "Resign", "Resign the game", kNone},
          {10042, "wxButton", "&Send", "Send email to opponent", kNone},
          {10043, "wxStaticLine", kNone, kNone, kNone},
          {10044, "wxStaticText", "Move no:", kNone, kNone},
          {10045, "wxButton", "&Quote", "Quote opponents mail", kNone},
          {10043, "wxStaticLine", kNone, kNone, kNone},
          {10046, "wxCheckBox", "Send profile", "Check to re-send your profile", kNone},
          {10043, "wxStaticLine", kNone, kNone, kNone},
          {10047, "wxRadioButton", "Message", "Show opponents message", kNone},
          {10048, "wxRadioButton", "Reply", "Show your reply", kNone},
          {10043, "wxStaticLine", kNone, kNone, kNone},
          {10049, "wxTextCtrl", kNone, "To reply to opponent's message click 'Reply', above", kNone}}},
        {"SendOrSave", SendOrSaveLayout, {},
         {{10004, "wxStaticText",
           "Do you wish to email the turn automatically or save the turn file?\n\nIf you choose to save the turn file "
           "you should send it to your\nopponent by some other means.",
           kNone, kNone},
          {10043, "wxStaticLine", kNone, kNone, kNone},
          {10135, "wxButton", "&Email", "Email the move automatically (recommended)", kNone},
          {10136, "wxButton", "&Save", "Save the turn file (so you can send it to your opponent yourself)", kNone},
          {10137, "wxButton", "&Help", "Help on send email", kNone},
          {10138, "wxButton", "&Cancel", "Don't send (or save)", kNone}}},
        {"EmailInvitation", EmailInvitationLayout, {},
         {{10076, "wxListBox", kNone, "List of opponents", "Opponents"},
          {10077, "wxTextCtrl", kNone, "Email address to send invitation", "Email"},
          {10078, "wxButton", "&Send Invitation", kNone, kNone},
          {10079, "wxButton", "&Cancel", kNone, kNone}}},
        {"JoinNetworkGame", JoinNetworkGameLayout, {},
         {{10050, "wxListBox", kNone, kNone, "Opponents"},
          {10004, "wxStaticText", "IP or machine name", kNone, "Server"},
          {10051, "wxTextCtrl", kNone, kNone, "Server"},
          {10052, "wxButton", "&Join Game", "Join server", "Server"},
          {10053, "wxTextCtrl", kNone, kNone, kNone},
          {10054, "wxButton", "&Help!", kNone, kNone},
          {10055, "wxButton", "&Voices", kNone, kNone},
          {10056, "wxButton", "&Cancel", kNone, kNone}}},
        {"StartNetworkGame", StartNetworkGameLayout, {},
         {{10057, "wxButton", "&Start!", "Start server and wait for opponent to join", "Server"},
          {10058, "wxGauge", kNone, kNone, "Server"},
          {10059, "wxRadioBox", "Start As", "Select your colour, or let the computer choose a colour at random", kNone},
          {10060, "wxTextCtrl", kNone, kNone, kNone},
          {10061, "wxButton", "&Email Invite", "Sends a email to your opponent (makes it easier to get started)", kNone},
          {10062, "wxButton", "&Voices", kNone, kNone},
          {10063, "wxButton", "&Help", kNone, kNone},
          {10064, "wxButton", "&Cancel", kNone, kNone}}},
        {"Opponents", OpponentsLayout, {10067},
         {{10065, "wxListBox", kNone, "List of opponents", "Opponents"},
          {10066, "wxButton", "&Remove Opponent", "Remove this opponent from your list", "Opponents"},
          {10004, "wxStaticText", "Name", kNone, "Details"},
          {10068, "wxTextCtrl", kNone, "Opponent's name", "Details"},
          {10004, "wxStaticText", "Nick", kNone, "Details"},
          {10069, "wxTextCtrl", kNone, "Opponent's nick-name", "Details"},
          {10004, "wxStaticText", "Email", kNone, "Details"},
          {10070, "wxTextCtrl", kNone, "Opponent's email address", "Details"},
          {10004, "wxStaticText", "IP", kNone, "Details"},
          {10071, "wxTextCtrl", kNone, "Opponent's IP", "Details"},
          {10004, "wxStaticText", "Other Information", kNone, "Details"},
          {10072, "wxTextCtrl", kNone, "Other contact details", "Details"},
          {10073, "wxTextCtrl", kNone, "Your notes", "Notes"},
          {10074, "wxButton", "&Help", kNone, kNone},
          {10075, "wxButton", "&OK", kNone, kNone}}},
        {"OnlineSearch", OnlineSearchLayout, {10153, 10161},
         {{10159, "wxStaticText", "Gridmoor", kNone, kNone},
          {10160, "wxStaticText", "Click the hyperlinks below to edit your search.", kNone, kNone},
          {10162, "wxButton", "&Find Opponent", "Search for opponents worldwide", kNone},
          {10163, "wxButton", "&Help", kNone, kNone},
          {10164, "wxButton", "&Cancel", kNone, kNone}}},
        {"OnlineSearchSettings", OnlineSearchSettingsLayout, {},
         {{10169, "wxRadioBox", "Clock", "Which games you want: with a clock, without, or either", kNone},
          {10170, "wxCheckBox", "At least", "Only games with at least this much time", "Game time"},
          {10171, "wxSpinCtrl", kNone, "Least time on each clock", "Game time"},
          {10172, "wxStaticText", "minutes per side", kNone, "Game time"},
          {10173, "wxCheckBox", "At most", "Only games with at most this much time", "Game time"},
          {10174, "wxSpinCtrl", kNone, "Most time on each clock", "Game time"},
          {10175, "wxStaticText", "minutes per side", kNone, "Game time"},
          {10176, "wxCheckBox", "Beginner", kNone, "Opponent's experience"},
          {10177, "wxCheckBox", "Intermediate", kNone, "Opponent's experience"},
          {10178, "wxCheckBox", "Skilled", kNone, "Opponent's experience"},
          {10179, "wxCheckBox", "Advanced", kNone, "Opponent's experience"},
          {10180, "wxCheckBox", "Expert", kNone, "Opponent's experience"},
          {10181, "wxButton", "&All levels", "Accept opponents of every level", "Opponent's experience"},
          {10182, "wxButton", "Your &level...", "Set your own experience level and what you share",
           "Opponent's experience"},
          {10183, "wxRadioBox", "Your colour", "The colour you want to play", kNone},
          {10166, "wxButton", "&Default Search", "Search as broadly as possible", kNone},
          {10167, "wxButton", "&OK", kNone, kNone},
          {10168, "wxButton", "&Cancel", kNone, kNone}}},
        {"OnlinePreferences", OnlinePreferencesLayout, {},
         {{10004, "wxStaticText",
           "Select your country from the list below.\nSelect 'No Comment' if you prefer not to say.", kNone,
           "Location"},
          {10184, "wxChoice", kNone, "List of countries", "Location"},
          {10004, "wxStaticText",
           "Select your chess experience level from the choices below.\nThis setting is used to match you with "
           "online opponents.",
           kNone, "Experience Level"},
          {10185, "wxChoice", kNone, "Experience Levels", "Experience Level"},
          {10186, "wxCheckBox", "Send photo to opponent", "Check if you want to send your photo to opponents",
           "Options"},
          {10187, "wxCheckBox", "Send email address to opponent",
           "Check if you want to send your email address to your opponents", "Options"},
          {10188, "wxCheckBox", "Store opponent's details",
           "Check if you want to store the details of Gridmoor opponents", "Options"},
          {10189, "wxButton", "&Help", kNone, kNone},
          {10190, "wxButton", "&OK", kNone, kNone},
          {10156, "wxButton", "&Cancel", kNone, kNone}}},
        {"SendChallenge", SendChallengeLayout, {},
         {{10192, "wxCheckBox", "Timed game", "Check to play with a clock", kNone},
          {10193, "wxSpinCtrl", kNone, "Time on the clock", kNone},
          {10194, "wxStaticText", "minutes per side", kNone, kNone},
          {10195, "wxButton", "&Send Challenge", "Send a challenge to your opponent", kNone},
          {10196, "wxButton", "&Cancel", kNone, kNone}}},
        {"NewPlayerAlert", NewPlayerAlertLayout, {},
         {{10004, "wxStaticText",
           "Rookwell can alert you when there is someone looking for a game.\n\nYou can continue to use Rookwell in "
           "the meantime, and you are\nnot obligated to play the new person.",
           kNone, kNone},
          {10197, "wxCheckBox", "Alert me when a new player comes online",
           "Displays a pop-up and plays a noise when there is someone looking for a game", kNone},
          {10198, "wxButton", "OK", kNone, kNone}}},
    };
    return cases;
}

const SLayoutCase& CaseNamed(const char* name)
{
    for (const SLayoutCase& c : RemoteCases())
        if (std::string(c.name) == name)
            return c;
    throw std::runtime_error(name);
}

std::vector<std::string> Strings(wxItemContainerImmutable* items)
{
    std::vector<std::string> out;
    for (unsigned i = 0; i < items->GetCount(); ++i)
        out.push_back(std::string(items->GetString(i).utf8_str()));
    return out;
}

typedef std::vector<std::string> Texts;

} // namespace

TEST(RemoteLayouts, EveryControlWithItsIdLabelTipAndGroup)
{
    GUI_TEST_START();
    for (const SLayoutCase& c : RemoteCases())
        LayoutCheck::CheckCase(c);
}

TEST(RemoteLayouts, ChoicesHoldTheirItemsInOrder)
{
    GUI_TEST_START();
    wxDialog* prefs = LayoutCheck::Build(CaseNamed("OnlinePreferences"));
    EXPECT_EQ(Strings(GuiTest::Find<wxChoice>(prefs, 10184)), Texts(10, "Item"));
    EXPECT_EQ(Strings(GuiTest::Find<wxChoice>(prefs, 10185)),
              (Texts{"Beginner", "Intermediate", "Skilled", "Advanced", "Expert"}));
    prefs->Destroy();

    wxDialog* email = LayoutCheck::Build(CaseNamed("EmailGame"));
    EXPECT_EQ(Strings(GuiTest::Find<wxRadioBox>(email, 10033)), (Texts{"White", "Black", "Random"}));
    EXPECT_TRUE(GuiTest::Find<wxListBox>(email, 10029)->HasFlag(wxLB_SORT));
    email->Destroy();
    wxDialog* host = LayoutCheck::Build(CaseNamed("StartNetworkGame"));
    EXPECT_EQ(Strings(GuiTest::Find<wxRadioBox>(host, 10059)), (Texts{"White", "Black", "Random"}));
    host->Destroy();
    wxDialog* invite = LayoutCheck::Build(CaseNamed("EmailInvitation"));
    EXPECT_EQ(Strings(GuiTest::Find<wxListBox>(invite, 10076)), Texts{"ListItem"});
    invite->Destroy();
    wxDialog* settings = LayoutCheck::Build(CaseNamed("OnlineSearchSettings"));
    EXPECT_EQ(GuiTest::Find<wxRadioBox>(settings, 10169)->GetCount(), 3u);
    EXPECT_EQ(Strings(GuiTest::Find<wxRadioBox>(settings, 10183)), (Texts{"White", "Black", "Either"}));
    for (int id : {10171, 10174}) {
        wxSpinCtrl* spin = GuiTest::Find<wxSpinCtrl>(settings, id);
        EXPECT_EQ(spin->GetMin(), 1);
        EXPECT_EQ(spin->GetMax(), 99);
    }
    settings->Destroy();
    GuiTest::Pump();
}

TEST(RemoteLayouts, DefaultButtonsAndRanges)
{
    GUI_TEST_START();
    const std::pair<const char*, int> defaults[] = {
        {"EmailGame", 10035}, {"SendEmail", 10042}, {"SendOrSave", 10135}, {"EmailInvitation", 10078},
        {"JoinNetworkGame", 10052}, {"StartNetworkGame", 10057}, {"Opponents", 10075}, {"OnlineSearch", 10162},
        {"OnlineSearchSettings", 10167}, {"OnlinePreferences", 10190}, {"SendChallenge", 10195},
        {"NewPlayerAlert", 10198}};
    for (const auto& d : defaults) {
        wxDialog* dialog = LayoutCheck::Build(CaseNamed(d.first));
        EXPECT_EQ(dialog->GetDefaultItem(), dialog->FindWindow(d.second)) << d.first;
        dialog->Destroy();
    }
    wxDialog* challenge = LayoutCheck::Build(CaseNamed("SendChallenge"));
    wxSpinCtrl* minutes = GuiTest::Find<wxSpinCtrl>(challenge, 10193);
    EXPECT_EQ(minutes->GetMin(), 1);
    EXPECT_EQ(minutes->GetMax(), 99);
    challenge->Destroy();
    wxDialog* alert = LayoutCheck::Build(CaseNamed("NewPlayerAlert"));
    EXPECT_TRUE(GuiTest::Find<wxCheckBox>(alert, 10197)->GetValue());
    alert->Destroy();
    GuiTest::Pump();
}
