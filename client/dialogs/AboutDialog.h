#pragma once

#include <memory>

#include <wx/dialog.h>

class CMusicPlayer;
class CWebPanel;

// "About Rookwell": the about page in a web panel, with the title music
// playing (the background music paused) while it is open.
class CAboutDialog : public wxDialog {
public:
    CAboutDialog(wxWindow* parent, wxWindowID id);
    ~CAboutDialog() override;

    CWebPanel* GetPanel() const { return m_panel; }
    bool IsPlayingTitleMusic() const { return m_music != nullptr; }

private:
    void OnOk(wxCommandEvent& event);
    void OnCloseWindow(wxCloseEvent& event);
    void Finish();
    void StartTitleMusic();

    CWebPanel* m_panel;
    std::unique_ptr<CMusicPlayer> m_music;

    wxDECLARE_EVENT_TABLE();
};
