#pragma once

#include <functional>
#include <string>

// A message a worker thread has for the user. Workers never show anything
// themselves: they post the notice, and it is shown on the GUI thread.
// Plain std::string, since the client's shared strings belong to one thread.
struct SWorkerNotice {
    enum EKind {
        kInformation, // OK only
        kAskOpenUrl,  // Yes opens url through the launcher
    };
    EKind kind = kInformation;
    std::string text;
    std::string caption;
    std::string url;
};

// Worker side: hands the notice over. By default it is queued for the GUI
// thread's event loop; with no application running it is dropped.
void PostWorkerNotice(const SWorkerNotice& notice);
using WorkerNoticePoster = std::function<void(const SWorkerNotice&)>;
// Replaces the hand-over (tests collect the notices); empty restores it.
void SetWorkerNoticePoster(WorkerNoticePoster poster);

// Worker threads alive now; workers count themselves in and out, so the
// exit (or a test) can let them finish before the program ends.
void CountWorkerIn();
void CountWorkerOut();
int GetLiveWorkerCount();

// GUI side: shows a notice through the prompt, without a parent window: an
// information box, or a Yes/No question whose Yes opens the url.
void PresentWorkerNotice(const SWorkerNotice& notice);
