// What other starts hand over: kept in the order it came and carried out
// one hand-over at a time, each once nothing modal is open.

#include "client/core/ChessApp.h"

#include <cstdio>

#include <wx/timer.h>

#include "client/core/ChessFrame.h"
#include "client/core/HandOverQueue.h"
#include "client/core/ModalLoops.h"
#include "client/view/ConsoleWindow.h"
#include "foundation/NameText.h"

using Zorlin::CString;

namespace {

// How often a hand-over looks again whether the dialog it waits for closed.
const int kRetryMs = 250;

class CHandOverRetry : public wxTimer {
public:
    explicit CHandOverRetry(CHandOverQueue& queue) : m_queue(queue) {}
    void Notify() override { m_queue.Pump(); }

private:
    CHandOverQueue& m_queue;
};

// A line for the console and the standard error: what came, and what is
// done with it. The name is another start's: escaped, it stays one line.
void Log(CConsoleWindow* console, const char* what, const std::vector<CString>& files)
{
    CString line(what);
    if (!files.empty())
        line += CString(": ") + Zorlin::EscapeForLog(files[0]);
    line += "\n";
    fputs(line.GetText(), stderr);
    if (console)
        console->Write(line.GetText());
}

} // namespace

CHandOverQueue& CChessApp::HandOvers()
{
    if (m_handOvers)
        return *m_handOvers;
    CHandOverQueue::SHooks hooks;
    // A frame that is closing takes nothing new; what waits is counted at
    // the end, or opens should the close be refused.
    hooks.busy = [this] { return IsInModalState() || (m_frame && m_frame->IsClosing()); };
    hooks.carryOut = [this](const std::vector<CString>& files) { CarryOutHandOver(files); };
    hooks.waits = [this](const std::vector<CString>& files) { HandOverWaits(files); };
    hooks.again = [this](bool later) {
        if (!later) {
            CallAfter([this] {
                if (m_handOvers)
                    m_handOvers->Pump();
            });
        } else if (m_handOverRetry && !m_handOverRetry->IsRunning()) {
            m_handOverRetry->StartOnce(kRetryMs);
        }
    };
    m_handOvers.reset(new CHandOverQueue(std::move(hooks)));
    m_handOverRetry.reset(new CHandOverRetry(*m_handOvers));
    return *m_handOvers;
}

bool CChessApp::TakesHandOvers() const
{
    if (m_frame)
        return !m_frame->IsClosing() && !m_frame->IsAskingToClose();
    return !m_startupDone;
}

void CChessApp::OnHandedFiles(const std::vector<CString>& files)
{
    HandOvers().Add(files);
}

void CChessApp::HandOverWaits(const std::vector<CString>& files)
{
    if (m_frame && m_frame->IsClosing()) {
        Log(m_console, "Files handed over by another start wait: the window is closing", files);
        return;
    }
    Log(m_console, "Files handed over by another start wait until the open window closes", files);
    // A minimised window comes back with the dialog the file waits for;
    // raised, the frame could cover that dialog.
    if (m_frame && !m_frame->IsClosing() && m_frame->IsIconized())
        m_frame->Iconize(false);
}

void CChessApp::CarryOutHandOver(const std::vector<CString>& files)
{
    if (!m_frame || m_frame->IsClosing())
        return;
    if (m_frame->IsIconized())
        m_frame->Iconize(false);
    m_frame->Show(true);
    m_frame->Raise();
    Log(m_console, files.empty() ? "Raised by another start" : "Files handed over by another start", files);
    // As our own command line: its first file opens.
    if (!files.empty())
        OpenTransportFile(files[0].GetText());
}
