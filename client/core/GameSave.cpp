// The saved game (.rwg): the game's settings, tags, players and moves.
#include <cmath>
#include <cstdlib>

#include "client/core/Game.h"
#include "client/core/Player.h"

using Zorlin::CConfig;
using Zorlin::CString;

namespace {

int WholeMilliseconds(double ms)
{
    if (!(ms > 0.0))
        return 0;
    if (ms >= 2147483647.0)
        return 2147483647;
    return int(std::floor(ms));
}

double ReadMilliseconds(const CString& text)
{
    double ms = std::strtod(text.GetText(), nullptr);
    return std::isfinite(ms) && ms > 0.0 ? ms : 0.0;
}

} // namespace

void CGame::Save(CConfig& config)
{
    config.PushAbsolutePrefix("game");
    config.Merge(m_settings);
    // How the game stands, so a finished one opens finished: a resignation
    // or a loss on time leaves nothing on the board to tell it by.
    config.GetValue("result") = ResultText(m_result);
    config.GetValue("end") = m_endNote;
    config.PopPrefix();

    config.PushAbsolutePrefix("Tags");
    m_tags.ForEach([&](const CString& name, const CString& value) { config.GetValue(name) = value; });
    config.PopPrefix();

    for (int colour : { WHITE, BLACK }) {
        CPlayer* player = GetPlayer(colour);
        config.PushAbsolutePrefix(colour == WHITE ? "White" : "Black");
        if (player && player->GetColour() == colour)
            config.Merge(player->GetProperties());
        config.PopPrefix();
    }

    const Zorlin::CArray<SHistoryEntry>& history = m_board.GetHistory();
    config.PushAbsolutePrefix("Moves");
    for (int i = 0; i < history.GetCount(); ++i) {
        const SHistoryEntry& entry = *history.GetAt(i);
        config.PushPrefix(i);
        config.GetValue("Move") = entry.m_shortText;
        config.GetValue("Time") = "";
        config.GetValue("Time").Append(WholeMilliseconds(entry.m_timeSpent));
        config.PopPrefix();
    }
    config.PopPrefix();
}

int CGame::LoadMoves(CConfig& config, bool includeLast)
{
    int made = 0;
    config.PushAbsolutePrefix("moves");
    for (int n = 0; config.FrameExists(n) && (includeLast || config.FrameExists(n + 1)); ++n) {
        config.PushPrefix(n);
        CString saved = config.GetValueOr("Move", "");
        double ms = ReadMilliseconds(config.GetValueOr("Time", ""));
        config.PopPrefix();

        // A damaged file ends here: only legal moves are made, so the
        // position stays one that play can reach.
        CMove move;
        if (!m_board.ParseSan(saved, move, true) || !m_board.MakeMove(move, ms))
            break;
        ++made;
        SHistoryEntry& entry = *m_board.GetHistory().GetAt(-1);
        CString san(entry.m_shortText);
        CString marked = san + m_board.GetCheckMark();
        bool savedIsOurs = saved == san || saved == marked || saved == san + "+" || saved == san + "#";
        entry.SetText(savedIsOurs ? saved : marked);
    }
    config.PopPrefix();
    ReadTags(config);
    return made;
}

void CGame::ReadTags(CConfig& config)
{
    config.PushAbsolutePrefix("tags");
    m_tags.ForEach([&](const CString& name, CString& value) { value = config.GetValueOr(name.GetText(), ""); });
    config.PopPrefix();
}
