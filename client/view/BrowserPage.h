#pragma once

#include <map>
#include <string>
#include <vector>

#include "client/view/HtmlText.h"
#include "foundation/Array.h"

namespace Zorlin {
class CConfig;
class CDrive;
}

class CPlayedGames;

// The side panel's start page without its window: two columns of foldable
// sections built from the section templates, the user's game folders, the
// user and program settings and the live content.
class CBrowserPage {
public:
    struct SSources {
        Zorlin::CConfig* user = nullptr;
        Zorlin::CConfig* program = nullptr;
        Zorlin::CConfig* live = nullptr;
        Zorlin::CConfig* version = nullptr;
        // The full disk path of the user's folder, for the profile photo.
        Zorlin::CString userFolder;
        // The version file names a later version than this program.
        bool newerVersion = false;
    };

    // One link of a game list, as the page would write it, unescaped.
    struct SLink {
        Zorlin::CString href;
        Zorlin::CString label;
    };
    // From this many links on, a game list is not written into the page:
    // the page holds <linklist name="section"></linklist> and its links are
    // kept here (LinkListCell.h), as the toolkit's markup parser and text
    // take seconds over thousands of links.
    static constexpr int kLinksAsOneCell = 200;
    // Between the links of a game list.
    static const char* const kLinkSeparator;

    CBrowserPage();

    // Loads the section templates from the drive's current folder (the
    // language folder); missing ones stay empty. Only their bodies are kept.
    void LoadTemplates(Zorlin::CDrive& drive);
    // Picks this run's tip of the day and stores the next one in
    // "preferences.totd", wrapping after the last tip.
    void AdvanceTip(Zorlin::CConfig& user, Zorlin::CConfig& program);
    // Rescans "/active games/" or "/played games/" of the user drive into
    // natural order. The user's copies of e-mail games are shown by their
    // opponent and move, played games by the names in their tags; ownId
    // tells the user's side in an older copy.
    void ListActiveGames(Zorlin::CDrive& userDrive, const Zorlin::CString& ownId = Zorlin::CString());
    void ListPlayedGames(Zorlin::CDrive& userDrive);
    // Shows the list as it stands, without looking at the folder.
    void ShowPlayedGames(const CPlayedGames& played);

    // Fills the page layout with both columns, removing unknown fields.
    void Prepare(CHtmlText& layout, const SSources& sources);

    int GetTip() const { return m_tip; }
    // The long game lists of the last Prepare, by section name.
    const std::map<std::string, std::vector<SLink>>& GetLinkLists() const { return m_linkLists; }
    const Zorlin::CArray<Zorlin::CString>& GetActiveGames() const { return m_activeGames; }
    const Zorlin::CArray<Zorlin::CString>& GetPlayedGames() const { return m_playedGames; }

private:
    void AddSection(CHtmlText& column, const char* name, const char* title, const Zorlin::CString& body,
                    const SSources& sources);
    bool IsActive(const SSources& sources, const char* name) const;
    Zorlin::CString NewVersionBody(const SSources& sources) const;
    Zorlin::CString GamesBody(const char* section, const Zorlin::CArray<Zorlin::CString>& files,
                              const char* extension, const char* folder, const char* command,
                              const Zorlin::CArray<Zorlin::CString>* captions = nullptr);
    Zorlin::CString NewsBody(const SSources& sources) const;
    Zorlin::CString LinksBody(const SSources& sources) const;
    Zorlin::CString ProfileBody(const SSources& sources) const;
    void FillStatistics(CHtmlText& section, const SSources& sources) const;
    static void ListFolder(Zorlin::CDrive& userDrive, const char* folder, Zorlin::CArray<Zorlin::CString>& out);

    CHtmlText m_expandedHeader;
    CHtmlText m_reducedHeader;
    CHtmlText m_bodyFrame;
    CHtmlText m_score;
    CHtmlText m_profile;
    CHtmlText m_launchpad;
    int m_tip;
    Zorlin::CArray<Zorlin::CString> m_activeGames;
    Zorlin::CArray<Zorlin::CString> m_activeCaptions; // one a game, empty for its file name
    Zorlin::CArray<Zorlin::CString> m_playedGames;
    Zorlin::CArray<Zorlin::CString> m_playedCaptions; // the players' names as typed, or empty
    Zorlin::CString m_prefix; // before the folder names in game links
    int m_counter;            // numbers the sections of one build
    std::map<std::string, std::vector<SLink>> m_linkLists;
};

// News and other text from outside as HTML: escaped, with its web
// addresses made links.
Zorlin::CString LinkifyText(const Zorlin::CString& text);
// Whether a link taken from outside may be followed: web pages only.
bool IsWebAddress(const Zorlin::CString& address);
