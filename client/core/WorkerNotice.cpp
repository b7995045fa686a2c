#include "client/core/WorkerNotice.h"

#include "client/core/Launch.h"
#include "client/core/Prompt.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

#include <atomic>
#include <mutex>

namespace {

std::mutex g_lock;
WorkerNoticePoster g_poster;
std::atomic<int> g_liveWorkers{0};

} // namespace

void SetWorkerNoticePoster(WorkerNoticePoster poster)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_poster = std::move(poster);
}

void PostWorkerNotice(const SWorkerNotice& notice)
{
    WorkerNoticePoster poster;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        poster = g_poster;
    }
    if (poster) {
        poster(notice);
        return;
    }
    // Queuing an event is the one toolkit call that is safe off the GUI thread.
    if (wxAppConsole* app = wxAppConsole::GetInstance())
        app->CallAfter([notice] { PresentWorkerNotice(notice); });
}

void PresentWorkerNotice(const SWorkerNotice& notice)
{
    Zorlin::CString text(notice.text.c_str());
    Zorlin::CString caption(notice.caption.c_str());
    if (notice.kind == SWorkerNotice::kAskOpenUrl) {
        if (GetPrompt().ShowMessage(text, caption, wxYES_NO | wxICON_INFORMATION, nullptr) == wxYES)
            OpenUrl(notice.url.c_str());
        return;
    }
    GetPrompt().ShowMessage(text, caption, wxOK | wxICON_INFORMATION, nullptr);
}

void CountWorkerIn()
{
    ++g_liveWorkers;
}

void CountWorkerOut()
{
    --g_liveWorkers;
}

int GetLiveWorkerCount()
{
    return g_liveWorkers;
}
