#include "client/view/BrowserPage.h"

#include <cstdlib>

#include "client/core/HtmlText.h"
#include "client/core/StartUp.h"
#include "client/core/PlayedGames.h"
#include "client/remote/EmailRecord.h"
#include "client/view/ViewHost.h"
#include "foundation/AutoDirectory.h"
#include "foundation/AutoPointer.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/URL.h"

using namespace Zorlin;

namespace {

const char* const kMatches = "Preferences.Matches.";

bool StartsWithNoCase(const CString& text, int at, const char* prefix)
{
    for (int i = 0; prefix[i]; ++i)
        if (at + i >= text.GetLength() || LowerCaseByte(uint8_t(text[at + i])) != uint8_t(prefix[i]))
            return false;
    return true;
}

bool EndsAddress(char c)
{
    return uint8_t(c) <= ' ' || c == '<' || c == '>' || c == '"' || c == '\'';
}

CString ExtensionOf(const CString& name)
{
    int dot = name.ReverseFind('.');
    return dot < 0 ? CString() : name.Mid(dot);
}

CString WithoutExtension(const CString& name)
{
    int dot = name.ReverseFind('.');
    return dot <= 0 ? name : name.Mid(0, dot - 1);
}

// The names of a frame's direct children, in the store's order.
void ListChildren(CConfig& config, const char* frame, CArray<CString>& out)
{
    out.RemoveAll();
    if (!config.FrameExists(CString(".") + frame))
        return;
    config.PushAbsolutePrefix(frame);
    config.ListFrame(out);
    config.PopPrefix();
}

CString Decimal(int n)
{
    CString text;
    text.Append(n);
    return text;
}

} // namespace

bool IsWebAddress(const CString& address)
{
    return StartsWithNoCase(address, 0, "http://") || StartsWithNoCase(address, 0, "https://");
}

CString LinkifyText(const CString& text)
{
    CString out;
    int plainStart = 0;
    int i = 0;
    while (i < text.GetLength()) {
        if (!StartsWithNoCase(text, i, "http://") && !StartsWithNoCase(text, i, "https://")) {
            ++i;
            continue;
        }
        int end = i;
        while (end < text.GetLength() && !EndsAddress(text[end]))
            ++end;
        // Punctuation that closes a sentence is not part of the address.
        while (end > i && CString(".,;:!?)").Find(text[end - 1], nullptr))
            --end;
        CString address = text.Mid(i, end - 1);
        if (i > plainStart)
            out.Append(EscapeHtml(text.Mid(plainStart, i - 1)));
        CString escaped = EscapeHtml(address);
        out.Append("<a href=\"");
        out.Append(escaped);
        out.Append("\">");
        out.Append(escaped);
        out.Append("</a>");
        plainStart = i = end;
    }
    if (plainStart < text.GetLength())
        out.Append(EscapeHtml(text.Mid(plainStart)));
    return out;
}

const char* const CBrowserPage::kLinkSeparator = " / ";

CBrowserPage::CBrowserPage() : m_tip(0), m_counter(0) {}

void CBrowserPage::LoadTemplates(CDrive& drive)
{
    struct SEntry {
        const char* file;
        CHtmlText* text;
    };
    const SEntry entries[] = {
        {"expandedheader.htm", &m_expandedHeader}, {"reducedheader.htm", &m_reducedHeader},
        {"texttablefade.htm", &m_bodyFrame},       {"score.htm", &m_score},
        {"profile.htm", &m_profile},               {"launchpad.htm", &m_launchpad},
    };
    for (const SEntry& entry : entries) {
        LoadTemplate(drive, entry.file, *entry.text);
        entry.text->ExtractBody();
    }
}

void CBrowserPage::AdvanceTip(CConfig& user, CConfig& program)
{
    CString stored = user.GetValueOr("preferences.totd", "");
    long tip = std::strtol(stored.GetText(), nullptr, 10);
    if (tip < 0 || tip > 1000000)
        tip = 0;
    long next = tip + 1;
    if (!program.KeyExists(CString("TOTD.#") + Decimal(int(tip))))
        tip = 0;
    if (!program.KeyExists(CString("TOTD.#") + Decimal(int(next))))
        next = 0;
    m_tip = int(tip);
    user.GetValue("preferences.totd") = Decimal(int(next));
}

void CBrowserPage::ListFolder(CDrive& userDrive, const char* folder, CArray<CString>& out)
{
    out.RemoveAll();
    CAutoDirectory inside(userDrive, folder);
    if (!inside)
        return;
    userDrive.ListDirectory(out, false);
    SortNatural(out);
}

void CBrowserPage::ListActiveGames(CDrive& userDrive, const CString& ownId)
{
    ListFolder(userDrive, "/active games/", m_activeGames);
    m_activeCaptions.RemoveAll();
    for (int i = 0; i < m_activeGames.GetCount(); ++i)
        m_activeCaptions.Add(EmailRecord::Caption(userDrive, *m_activeGames.GetAt(i), ownId));
}

void CBrowserPage::ListPlayedGames(CDrive& userDrive)
{
    CPlayedGames& played = ::GetPlayedGames();
    played.Refresh(userDrive);
    ShowPlayedGames(played);
}

void CBrowserPage::ShowPlayedGames(const CPlayedGames& played)
{
    m_playedGames.RemoveAll();
    m_playedCaptions.RemoveAll();
    m_playedGames.Reserve(played.GetFiles().GetCount());
    m_playedCaptions.Reserve(played.GetFiles().GetCount());
    for (int i = 0; i < played.GetFiles().GetCount(); ++i) {
        m_playedGames.Add(*played.GetFiles().GetAt(i));
        m_playedCaptions.Add(*played.GetLabels().GetAt(i));
    }
}

bool CBrowserPage::IsActive(const SSources& sources, const char* name) const
{
    return IsSettingOn(*sources.user, (CString("preferences.browser.active.") + name).GetText(), true);
}

void CBrowserPage::AddSection(CHtmlText& column, const char* name, const char* title, const CString& body,
                              const SSources& sources)
{
    CHtmlText section;
    if (IsSettingOn(*sources.user, (CString("preferences.browser.expanded.") + name).GetText(), true)) {
        section.Append(m_expandedHeader);
        section.Append(m_bodyFrame);
    } else {
        section.Append(m_reducedHeader);
    }
    ++m_counter;
    CHtmlVariables vars;
    vars["Title"] = title;
    vars["Text"] = body;
    vars["imageno"] = Decimal(m_counter);
    vars["expand"] = CString("LNK expand ") + name;
    vars["reduce"] = CString("LNK reduce ") + name;
    vars["close"] = CString("LNK close ") + name;
    section.ExpandVariables(vars, false);
    if (CString("statistics") == name)
        FillStatistics(section, sources);
    column.Append(section);
}

CString CBrowserPage::NewVersionBody(const SSources& sources) const
{
    CConfig& version = *sources.version;
    CHtmlText body;
    body.Append("<P>Version ");
    body.Append(EscapeHtml(version.GetValueOr("version.major", "")));
    body.Append(".");
    body.Append(EscapeHtml(version.GetValueOr("version.minor", "")));
    body.Append(" is available. Click ");
    CString url = version.GetValueOr(".url", "");
    url.Trim();
    if (IsWebAddress(url)) {
        body.BeginLink(EscapeHtml(url).GetText());
        body.Append("here");
        body.EndLink();
    } else {
        body.Append("here");
    }
    body.Append(" to go to the download page.");
    return body;
}

CString CBrowserPage::GamesBody(const char* section, const CArray<CString>& files, const char* extension,
                                const char* folder, const char* command, const CArray<CString>* captions)
{
    std::vector<SLink> links;
    for (int i = 0; i < files.GetCount(); ++i) {
        const CString& file = *files.GetAt(i);
        if (!KeysEqualNoCase(ExtensionOf(file), extension))
            continue;
        // The path goes in quotes the name does not hold itself.
        char quote = file.Find('\'', nullptr) ? '"' : '\'';
        if (quote == '"' && file.Find('"', nullptr))
            continue;
        SLink link;
        link.href = command;
        link.href.Append(quote);
        link.href.Append(m_prefix);
        link.href.Append(folder);
        link.href.Append(file);
        link.href.Append(quote);
        const CString* caption = captions && i < captions->GetCount() ? captions->GetAt(i) : nullptr;
        link.label = caption && !caption->IsEmpty() ? *caption : WithoutExtension(file);
        links.push_back(link);
    }
    CHtmlText body;
    body.BeginParagraph("center");
    if (int(links.size()) >= kLinksAsOneCell) {
        body.Append("<linklist name=\"");
        body.Append(section);
        body.Append("\"></linklist>");
        m_linkLists[section] = std::move(links);
    } else {
        for (size_t i = 0; i < links.size(); ++i) {
            if (i)
                body.Append(kLinkSeparator);
            body.BeginLink(EscapeHtml(links[i].href).GetText());
            body.Append(EscapeHtml(links[i].label));
            body.EndLink();
        }
    }
    CString explore("LNK explore '");
    explore.Append(CString(folder).Mid(0, -2));
    explore.Append("'");
    body.LineBreak();
    body.Append("(");
    body.BeginItalic();
    body.BeginLink(EscapeHtml(explore).GetText());
    body.Append("explore folder");
    body.EndLink();
    body.EndItalic();
    body.Append(")");
    return body;
}

CString CBrowserPage::NewsBody(const SSources& sources) const
{
    CArray<CString> names;
    ListChildren(*sources.live, "News", names);
    CHtmlText body;
    body.Append("<P>");
    bool first = true;
    for (int i = 0; i < names.GetCount(); ++i) {
        const CString& name = *names.GetAt(i);
        CString key = CString(".News.") + name;
        if (name.IsEmpty() || name[0] != '#' || !sources.live->KeyExists(key))
            continue;
        if (!first)
            body.Append("<P>");
        first = false;
        body.Append(LinkifyText(sources.live->GetValueOr(key.GetText(), "")));
    }
    return body;
}

CString CBrowserPage::LinksBody(const SSources& sources) const
{
    CArray<CString> names;
    ListChildren(*sources.live, "Links", names);
    CHtmlText body;
    body.BeginParagraph("center");
    bool first = true;
    for (int i = 0; i < names.GetCount(); ++i) {
        CString frame = CString(".Links.") + *names.GetAt(i);
        if (!sources.live->FrameExists(frame))
            continue;
        CString url = sources.live->GetValueOr((frame + ".url").GetText(), "");
        CString title = sources.live->GetValueOr((frame + ".title").GetText(), "");
        url.Trim();
        if (title.IsEmpty())
            title = url;
        if (!first)
            body.LineBreak();
        first = false;
        if (IsWebAddress(url)) {
            body.BeginLink(EscapeHtml(url).GetText());
            body.Append(EscapeHtml(title));
            body.EndLink();
        } else {
            body.Append(EscapeHtml(title));
        }
    }
    return body;
}

CString CBrowserPage::ProfileBody(const SSources& sources) const
{
    CHtmlText body(m_profile);
    CHtmlVariables vars;
    CString photo = sources.userFolder;
    if (photo.IsEmpty() || photo[photo.GetLength() - 1] != '/')
        photo.Append('/');
    photo.Append("photo.bmp");
    vars["userphoto"] = EscapeHtml(MakeFileAddress(photo, nullptr));
    vars["username"] = EscapeHtml(sources.user->GetValueOr("profile.name", ""));
    body.ExpandVariables(vars, true);
    return body;
}

void CBrowserPage::FillStatistics(CHtmlText& section, const SSources& sources) const
{
    CHtmlVariables vars;
    for (const char* key : {"Played", "Won", "Lost", "Drawn"}) {
        CString value = sources.user->GetValueOr((CString(kMatches) + key).GetText(), "0");
        vars[key] = EscapeHtml(value.IsEmpty() ? CString("0") : value);
    }
    section.ExpandVariables(vars, true);
}

void CBrowserPage::Prepare(CHtmlText& layout, const SSources& sources)
{
    m_counter = 0;
    m_linkLists.clear();
    CHtmlText main;
    if (IsActive(sources, "newversion") && sources.newerVersion)
        AddSection(main, "newversion", "New version!", NewVersionBody(sources), sources);
    if (IsActive(sources, "activegames") && m_activeGames.GetCount() > 0)
        AddSection(main, "activegames", "Active Games",
                   GamesBody("activegames", m_activeGames, ".rwg", "active games/", "LNK open ", &m_activeCaptions), sources);
    if (IsActive(sources, "totd"))
        AddSection(main, "totd", "Tip of the Day",
                   CString("<P>") + sources.program->GetValueOr((CString("TOTD.#") + Decimal(m_tip)).GetText(), ""),
                   sources);
    if (IsActive(sources, "news"))
        AddSection(main, "news", "News", NewsBody(sources), sources);
    if (IsActive(sources, "playedgames") && m_playedGames.GetCount() > 0)
        AddSection(main, "playedgames", "Played Games",
                   GamesBody("playedgames", m_playedGames, ".pgn", "played games/", "LNK pgn ", &m_playedCaptions), sources);

    CHtmlText right;
    if (IsActive(sources, "launchpad"))
        AddSection(right, "launchpad", "Launchpad", m_launchpad, sources);
    if (IsActive(sources, "profile"))
        AddSection(right, "profile", "Profile", ProfileBody(sources), sources);
    if (IsActive(sources, "statistics"))
        AddSection(right, "statistics", "Game Stats", m_score, sources);
    if (IsActive(sources, "links"))
        AddSection(right, "links", "Links", LinksBody(sources), sources);

    CHtmlVariables vars;
    vars["BodyScroll"] = "auto";
    vars["MainColumn"] = main;
    vars["RightColumn"] = right;
    vars["username"] = EscapeHtml(sources.user->GetValueOr("profile.name", ""));
    layout.ExpandVariables(vars, true);
}
