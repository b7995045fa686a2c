// PGN tags and the PGN text of a game.
#include <cstring>
#include <ctime>
#include <unistd.h>

#include "client/core/AppServices.h"
#include "client/core/Game.h"
#include "client/core/Player.h"
#include "foundation/File.h"

using Zorlin::CFile;
using Zorlin::CString;

namespace {

// The product's web address, from the program settings when they have one.
const char* const kSoftwareAddress = "https://www.pemberlode.example/rookwell/";
const int kPgnLineWidth = 80;

CString ComputerName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return CString();
    name[sizeof name - 1] = 0;
    return CString(name);
}

CString TodayText()
{
    std::time_t now = std::time(nullptr);
    std::tm local = {};
    localtime_r(&now, &local);
    CString out;
    out.AppendFormat("%i.%02i.%02i", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return out;
}

CString EscapeTagValue(const CString& value)
{
    CString out;
    for (int i = 0; i < value.GetLength(); ++i) {
        char c = value[i];
        if (c == '\\' || c == '"')
            out.Append('\\');
        out.Append(c);
    }
    return out;
}

const char* const kSevenTagRoster[] = { "Event", "Site", "Date", "Round", "White", "Black", "Result" };

bool IsRosterTag(const CString& name)
{
    for (const char* roster : kSevenTagRoster)
        if (Zorlin::KeysEqualNoCase(name, CString(roster)))
            return true;
    return false;
}

void WriteTag(CFile& file, const CString& name, const CString& value)
{
    CString line;
    line.AppendFormat("[%s \"%s\"]", name.GetText(), EscapeTagValue(value).GetText());
    file.WriteLine(line);
}

// Collects tokens into lines of at most kPgnLineWidth characters.
class CPgnLineWriter {
public:
    explicit CPgnLineWriter(CFile& file) : m_file(file) {}
    void Add(const CString& token)
    {
        if (!m_line.IsEmpty() && m_line.GetLength() + token.GetLength() > kPgnLineWidth) {
            m_file.WriteLine(m_line);
            m_line = "";
        }
        m_line.Append(token);
    }
    void Finish()
    {
        if (!m_line.IsEmpty())
            m_file.WriteLine(m_line);
        m_line = "";
    }

private:
    CFile& m_file;
    CString m_line;
};

} // namespace

CString TimeControlTag(TimeControlType type, int moves, double seconds)
{
    if (type == TIME_NONE || !(seconds >= 1.0) || seconds > 1e9)
        return "-";
    CString out;
    if (type == TIME_CONVENTIONAL && moves > 0)
        out.AppendFormat("%d/", moves);
    out.AppendFormat("%lld", static_cast<long long>(seconds + 0.5));
    return out;
}

void CGame::UpdateTags()
{
    m_tags["Event"] = "Rookwell";
    m_tags["Site"] = ComputerName();
    m_tags["Date"] = TodayText();
    m_tags["Round"] = "-";
    CPlayer* white = GetPlayer(WHITE);
    CPlayer* black = GetPlayer(BLACK);
    m_tags["White"] = white ? white->GetProperty("Name") : CString();
    m_tags["Black"] = black ? black->GetProperty("Name") : CString();
    m_tags["Result"] = "";
    m_tags["TimeControl"] = TimeControlTag(m_timeControl, m_movesPerPeriod, m_seconds);
    CString home = GetAppServices().GetProgramSettings().GetValueOr(".site.home", "");
    m_tags["Software"] = home.IsEmpty() ? CString(kSoftwareAddress) : home;
}

void CGame::WritePgn(CFile& file, bool refreshTags)
{
    CString result = ResultText(m_result);
    if (refreshTags)
        UpdateTags();
    m_tags["Result"] = result;
    // The Seven Tag Roster first, in the standard's order, "?" for what the
    // game does not know; then the game's other tags as they came.
    for (const char* name : kSevenTagRoster) {
        const CString* value = m_tags.Find(name);
        if (value && !value->IsEmpty())
            WriteTag(file, name, *value);
        else
            WriteTag(file, name, std::strcmp(name, "Date") == 0 ? "????.??.??" : "?");
    }
    m_tags.ForEach([&](const CString& name, const CString& value) {
        if (!IsRosterTag(name))
            WriteTag(file, name, value);
    });
    file.WriteLine("");

    CPgnLineWriter lines(file);
    const Zorlin::CArray<SHistoryEntry>& history = m_board.GetHistory();
    for (int i = 0; i < history.GetCount(); ++i) {
        CString token;
        if (i % 2 == 0)
            token.AppendFormat("%i. ", i / 2 + 1);
        token.Append(history.GetAt(i)->m_shortText);
        token.Append(' ');
        lines.Add(token);
    }
    lines.Add(m_tags["Result"]);
    lines.Finish();
}
