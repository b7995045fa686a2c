#pragma once

// The user's profile: name, nickname, e-mail, other information, two
// privacy choices and a photo, all sent to opponents. A new user (profile id
// still the placeholder) first sees the introduction and cannot cancel.

#include <string>

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
    // Takes a picture file: fitted into 96 x 72 and shown; OK stores it as
    // the user's "photo.bmp". False (after telling the user) when it cannot
    // be read.
    bool SetPhotoFrom(const Zorlin::CString& path);

private:
    void ShowPhoto();
    // Writes the picked photo; tells the user when it could not be stored.
    void StorePendingPhoto();

    void OnHelp(wxCommandEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnBrowsePhoto(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    // The picked photo as BMP bytes, empty when none was picked.
    std::string m_pendingPhoto;
    wxStaticBitmap* m_photo;

    wxDECLARE_EVENT_TABLE();
};

// The file chooser's filter: GTK matches patterns with case, so each
// extension is given in both cases.
extern const char* const kPhotoWildcard;
