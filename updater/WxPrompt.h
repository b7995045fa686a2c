#pragma once

#include <memory>

#include "updater/UpdaterPrompt.h"

class wxProgressDialog;

// The toolkit's message boxes, through a bare application object that
// never runs an event loop of its own: modal boxes run theirs.
class CWxPrompt : public CUpdaterPrompt {
public:
    // Null when there is no display to show boxes on.
    static std::unique_ptr<CWxPrompt> Start(const char* programName);
    ~CWxPrompt() override;

    void Tell(const Zorlin::CString& text) override;
    bool AskOkCancel(const Zorlin::CString& text) override;
    void ShowProgress(int n, int count, const Zorlin::CString& path) override;

private:
    CWxPrompt() = default;
    std::unique_ptr<wxProgressDialog> m_progress;
};
