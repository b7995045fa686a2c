#pragma once

// The user's profile: name, nickname, e-mail, other information, two
// privacy choices and a photo, all sent to opponents. A new user (profile id
// still the placeholder) first sees the introduction and cannot cancel.

#include <wx/dialog.h>

#include "foundation/String.h"

class wxStaticBitmap;

class CProfileIntroDialog : public wxDialog {
public:
    explicit CProfileIntroDialog(wxWindow* parent);

private:
    void OnOK(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    wxDECLARE_EVENT_TABLE();
};

class CProfileDialog : public wxDialog {
public:
    explicit CProfileDialog(wxWindow* parent);

    void Load();
    // Takes a picture file: fitted into 96 x 72 and kept as the user's
    // "photo.bmp". False (after telling the user) when it cannot be read.
    bool SetPhotoFrom(const Zorlin::CString& path);

private:
    void ShowPhoto();

    void OnHelp(wxCommandEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnBrowsePhoto(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    wxStaticBitmap* m_photo;

    wxDECLARE_EVENT_TABLE();
};

// The file chooser's filter: GTK matches patterns with case, so each
// extension is given in both cases.
extern const char* const kPhotoWildcard;
