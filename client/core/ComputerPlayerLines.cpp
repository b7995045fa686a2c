// Reading the engine: its lines become moves, commands and messages.
#include <cstdlib>
#include <memory>

#include <wx/defs.h>

#include "client/core/ComputerPlayer.h"
#include "client/core/Console.h"
#include "client/core/EngineProcess.h"
#include "client/core/Game.h"
#include "client/core/Prompt.h"
#include "client/core/XboardText.h"
#include "foundation/NameText.h"

using Zorlin::CArray;
using Zorlin::CString;

namespace {

// Sets a flag of the player for a scope; leaves it alone when the player
// was deleted meanwhile (a dialog let the game end).
class CFlagGuard {
public:
    CFlagGuard(bool& flag, std::shared_ptr<bool> alive) : m_flag(flag), m_alive(std::move(alive)) { m_flag = true; }
    ~CFlagGuard()
    {
        if (*m_alive)
            m_flag = false;
    }

private:
    bool& m_flag;
    std::shared_ptr<bool> m_alive;
};

} // namespace

void CComputerPlayer::Poll()
{
    // A dialog raised while handling a line runs the event loop, whose game
    // tick would poll again: that poll does nothing.
    if (m_polling)
        return;
    if (!m_process || m_failed) {
        m_pendingMove = "";
        return;
    }
    std::shared_ptr<bool> alive = m_alive;
    CFlagGuard guard(m_polling, alive);
    if (m_drawDeclined) {
        TellDrawDeclined();
        if (!*alive || !m_process || m_failed)
            return;
    }
    m_process->StartTick();
    m_linesThisPoll = 0;
    if (m_startPending && AreFeaturesSettled()) {
        StartPendingGo();
        if (!*alive || !m_process || m_failed)
            return;
    }

    CString line;
    if (!NextLine(line)) {
        if (m_process->IsOutputBehind())
            return; // the poll's time went to a pump without a whole line
        m_pendingMove = "";
        if (m_process->HasEnded())
            OnEngineFailure(StoppedText());
        else
            CheckSilence();
        if (*alive && m_process && !m_failed)
            RestIfWaiting();
        return;
    }
    for (;;) {
        CArray<CString> words;
        SplitAtBlanks(line, words);

        if (!m_pendingMove.IsEmpty()) {
            m_pendingMove.Trim();
            if (words.GetCount() > 0)
                m_pendingMove.Append(*words.GetAt(0));
            CMove move;
            if (ParseEngineMove(m_pendingMove, move)) {
                OfferMove(move, m_pendingMove);
                m_pendingMove = "";
                return;
            }
        }

        // An error is shown whole; its colons are part of it.
        if (words.GetCount() > 1 && KeysEqualNoCase(*words.GetAt(0), "tellusererror")) {
            m_pendingMove = "";
            ShowEngineError(AfterFirstBlank(line));
            return;
        }
        if (line.Find(':', 0) < line.GetLength())
            line = AfterFirstColon(line);

        if (words.GetCount() == 0) {
            // A blank line ends a move split across lines; reading goes on.
            m_pendingMove = "";
            if (!NextLine(line))
                return;
            continue;
        }
        bool saysMove = words.GetCount() > 0 && KeysEqualNoCase(*words.GetAt(0), "move");
        // A line that starts with "move" but names no move ("Move ordering :
        // 90.0%") is the engine talking: it is only logged.
        bool chatter = saysMove && !IsMoveShapedWord(*words.GetAt(-1));
        if (words.GetCount() > 1 && IsMoveLine(words) && !chatter) {
            const CString& last = *words.GetAt(-1);
            CMove move;
            if (ParseEngineMove(last, move)) {
                OfferMove(move, last);
                m_pendingMove = "";
                return;
            }
            if (m_console && last != "...")
                m_console->Write((CString("Illegal move from the engine: ") + Zorlin::EscapeForLog(last) + "\n").GetText());
            // "move" names the move itself: on the engine's own turn an
            // unplayable one means the engine and the game disagree.
            if (saysMove && IsEnginesTurnInPlay() && !PongStillAwaited()) {
                m_pendingMove = "";
                OnEngineFailure(CString("The chess engine played an illegal move (") + last + ").");
                return;
            }
            bool thirdIsWord = words.GetCount() > 2 && words.GetAt(2)->GetLength() >= 2;
            if (!thirdIsWord) {
                // The move may come on the next line: its first word completes it.
                m_pendingMove = words.GetCount() > 2 ? *words.GetAt(2) : CString(" ");
                return;
            }
        }

        if (!HandleQuietLine(line) && HandleEngineLine(line)) {
            m_pendingMove = "";
            return;
        }
        if (!*alive)
            return;
        // Each tick reads what the engine wrote for as long as its time
        // lasts, so a move behind a flood of thinking output is taken as soon
        // as the flood is read.
        if (!NextLine(line))
            return;
    }
}

bool CComputerPlayer::NextLine(CString& line)
{
    // The first line of a poll is read whatever the time: every poll moves on.
    if (m_linesThisPoll > 0 && m_process->IsReadTimeUp())
        return false;
    for (;;) {
        if (m_process->ReadLine(line)) {
            ++m_linesThisPoll;
            m_lastHeard = CEngineProcess::Now();
            return true;
        }
        // A pump that took its fill without a whole line (an over-long
        // line) leaves more in the pipe.
        if (!m_process->IsOutputBehind()) {
            m_pendingMove = "";
            return false;
        }
        if (m_process->IsReadTimeUp())
            break;
    }
    // The time is up: what is left waits for the next poll, and a move begun
    // on the last line read is completed by the next line then.
    return false;
}

bool CComputerPlayer::HandleQuietLine(const CString& line)
{
    CArray<CString> words;
    if (SplitCommandWords(line, words) == 0)
        return false;
    const CString& first = *words.GetAt(0);
    if (KeysEqualNoCase(first, "feature")) {
        HandleFeatures(line);
        return true;
    }
    if (KeysEqualNoCase(first, "pong")) {
        int number = words.GetCount() > 1 ? std::atoi(words.GetAt(1)->GetText()) : 0;
        if (m_awaitedPong != 0 && number == m_awaitedPong)
            m_awaitedPong = 0;
        if (m_drawPing != 0 && number == m_drawPing) {
            m_drawPing = 0;
            if (m_drawOffered) {
                m_drawOffered = false;
                m_drawDeclined = true;
            }
        }
        return true;
    }
    return false;
}

bool CComputerPlayer::HandleEngineLine(const CString& line)
{
    CArray<CString> words;
    int count = SplitCommandWords(line, words);
    if (count == 0)
        return false;
    const CString& first = *words.GetAt(0);
    if (KeysEqualNoCase(first, "feature")) {
        HandleFeatures(line);
        return true;
    }
    if (KeysEqualNoCase(first, "offer")) {
        OnEngineOffersDraw();
        return true;
    }
    if (KeysEqualNoCase(first, "resign")) {
        OnEngineResigns();
        return true;
    }
    if (count >= 3 && KeysEqualNoCase(first, "tellics") && KeysEqualNoCase(*words.GetAt(1), "say")) {
        ShowEngineMessage(AfterFirstBlank(line));
        return true;
    }
    if (count >= 2 && (KeysEqualNoCase(first, "tellics") || KeysEqualNoCase(first, "tellopponent") ||
                       KeysEqualNoCase(first, "tellall"))) {
        ShowEngineMessage(line);
        return true;
    }
    return false;
}

void CComputerPlayer::ShowEngineError(const CString& text)
{
    m_engineError = ShownEngineText(text);
    GetPrompt().ShowMessage(m_engineError, CString("Message from ") + GetProperty("name"), wxOK | wxICON_ERROR,
                            DialogParent());
}

CString CComputerPlayer::StoppedText() const
{
    // What the engine said last tells the user why: its error, else its last lines.
    CString said = !m_engineError.IsEmpty() ? m_engineError : m_process ? m_process->GetLastWords() : CString();
    CString text = "The chess engine has stopped.";
    if (!said.IsEmpty())
        text += CString("\nIt said:\n") + said;
    return text;
}

bool CComputerPlayer::ParseEngineMove(const CString& text, CMove& out)
{
    if (!m_board)
        return false;
    out = CMove();
    if (!m_board->ParseMove(text, out, true))
        return false;
    // The rules fill in the SAN when the move is made.
    out.m_text = "";
    return true;
}

bool CComputerPlayer::PongStillAwaited()
{
    if (m_awaitedPong != 0 && CEngineProcess::Now() > m_pongDeadline)
        m_awaitedPong = 0; // the engine never confirmed; stop waiting for it
    return m_awaitedPong != 0;
}

bool CComputerPlayer::OfferMove(const CMove& move, const CString& text)
{
    const char* refusal = nullptr;
    if (PongStillAwaited())
        refusal = "it belongs to an earlier position";
    else if (!m_game || !m_game->IsInPlay() || m_game->GetResult() != RESULT_NONE)
        refusal = "the game is not in play";
    else if (!m_board || m_board->GetSideToMove() != m_colour)
        refusal = "it is not the engine's turn";
    if (refusal) {
        if (m_console)
            m_console->Write((CString("Ignored engine move ") + Zorlin::EscapeForLog(text) + ": " + refusal + "\n").GetText());
        return false;
    }
    m_readyMove = move;
    m_readyText = text;
    m_moveReady = true;
    if (m_drawOffered && m_drawPing == 0) {
        m_drawOffered = false;
        m_drawDeclined = true;
    }
    return true;
}
