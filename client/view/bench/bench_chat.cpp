// How long the chat pane takes to show a flood: lines of a given size added
// in batches of a given count, one event-loop turn per batch, on a private
// Xvfb. Prints the time per batch and per line.
//   client_view_bench_chat [--lines N] [--bytes B] [--batch K]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>

#include "client/view/ChatWindow.h"
#include "testsupport/XvfbDisplay.h"

int main(int argc, char** argv)
{
    int lines = 5000, bytes = 8000, batch = 100;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (a == "--lines")
            lines = value;
        else if (a == "--bytes")
            bytes = value;
        else if (a == "--batch")
            batch = value;
    }
    if (lines < 1 || bytes < 1 || batch < 1 || !RookwellTest::SharedDisplay().IsReady()) {
        std::fprintf(stderr, "usage: client_view_bench_chat [--lines N] [--bytes B] [--batch K] (needs Xvfb)\n");
        return 2;
    }
    int wxArgc = 1;
    char name[] = "bench";
    char* wxArgv[] = {name, nullptr};
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(wxArgc, wxArgv))
        return 1;
    wxTheApp->CallOnInit();
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "chat", wxDefaultPosition, wxSize(800, 300));
    CChatWindow* chat = new CChatWindow(frame);
    frame->Show();

    const std::string text(size_t(bytes), 'x');
    const auto start = std::chrono::steady_clock::now();
    double slowest = 0.0;
    int batches = 0;
    for (int done = 0; done < lines; done += batch, ++batches) {
        const auto turn = std::chrono::steady_clock::now();
        for (int i = done; i < done + batch && i < lines; ++i)
            chat->AddMessage("Flooder", text.c_str());
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - turn).count();
        slowest = ms > slowest ? ms : slowest;
    }
    const double total = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d lines of %d bytes in %d batches: %.1f ms in all, %.2f ms a batch (slowest %.1f), %.3f ms a line\n",
                lines, bytes, batches, total, total / batches, slowest, total / lines);
    std::printf("kept %d lines, %d bytes; %d sounds\n", chat->GetLines().GetCount(), chat->GetLines().GetBytes(),
                chat->GetSoundCount());
    frame->Destroy();
    wxTheApp->ProcessIdle();
    wxEntryCleanup();
    return 0;
}
