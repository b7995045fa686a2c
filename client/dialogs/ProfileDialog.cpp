#include "client/dialogs/ProfileDialog.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include <wx/checkbox.h>
#include <wx/filedlg.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/statbmp.h>
#include <wx/textctrl.h>
#include <wx/time.h>
#include <wx/utils.h>

#include "client/core/AppServices.h"
#include "client/core/Prompt.h"
#include "client/core/WxText.h"
#include "client/dialogs/DialogHost.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"
#include "client/core/PhotoFit.h"
#include "client/dialogs/ProfileSettings.h"
#include "client/view/Globe.h"
#include "client/view/ViewHost.h"
#include "foundation/AtomicFile.h"
#include "foundation/Buffer.h"
#include "foundation/BufferFile.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/Image.h"
#include "foundation/Win32File.h"

using namespace Zorlin;

const char* const kPhotoWildcard = "JPG files|*.jpg;*.JPG;*.jpeg;*.JPEG|BMP files|*.bmp;*.BMP|PNG files|*.png;*.PNG";

namespace {

const char kPhotoFile[] = "/photo.bmp";
const int kRgb24 = 19;

wxTextCtrl* TextControl(wxWindow* dialog, int id)
{
    return dynamic_cast<wxTextCtrl*>(dialog->FindWindow(id));
}

wxCheckBox* BoxControl(wxWindow* dialog, int id)
{
    return dynamic_cast<wxCheckBox*>(dialog->FindWindow(id));
}

CString PhotoDiskPath()
{
    CURL path(kPhotoFile);
    GetAppServices().GetUserDrive().GetFullPath(path, "");
    return path;
}

// The photo as the toolkit draws it: the one picked and not yet stored,
// else the stored one, else a plain grey picture.
wxBitmap LoadPhotoBitmap(const std::string& pending)
{
    wxLogNull quiet;
    wxImage image;
    bool loaded = false;
    if (!pending.empty()) {
        wxMemoryInputStream in(pending.data(), pending.size());
        loaded = image.LoadFile(in, wxBITMAP_TYPE_BMP);
    } else {
        loaded = image.LoadFile(ToWx(PhotoDiskPath()), wxBITMAP_TYPE_BMP);
    }
    if (!loaded || !image.IsOk()) {
        image.Create(kPhotoWidth, kPhotoHeight);
        image.SetRGB(wxRect(0, 0, kPhotoWidth, kPhotoHeight), 128, 128, 128);
    }
    return wxBitmap(image);
}

bool EncodePhoto(const CImage& photo, std::string& bmp)
{
    CBuffer bytes;
    CBufferFile file(&bytes, 1);
    if (const_cast<CImage&>(photo).Save(file, "bmp") != 0 || file.GetSize() == 0)
        return false;
    bmp.assign(reinterpret_cast<const char*>(bytes.GetData()), size_t(file.GetSize()));
    return true;
}

} // namespace

wxBEGIN_EVENT_TABLE(CProfileIntroDialog, wxDialog)
    EVT_BUTTON(ID_INTRO_OK, CProfileIntroDialog::OnOK)
    EVT_CLOSE(CProfileIntroDialog::OnClose)
wxEND_EVENT_TABLE()

CProfileIntroDialog::CProfileIntroDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Rookwell - User Profile", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU)
{
    CGlobe* globe = new CGlobe(this, ID_INTRO_GLOBE, wxDefaultPosition, wxSize(100, 100));
    globe->SetFrameRate(40);
    globe->Start();
    ProfileIntroLayout(this, true, true);
    SetAppIcon(this);
    Centre(wxBOTH);
}

void CProfileIntroDialog::OnOK(wxCommandEvent&)
{
    EndModal(1);
}

void CProfileIntroDialog::OnClose(wxCloseEvent&)
{
    EndModal(1);
}

wxBEGIN_EVENT_TABLE(CProfileDialog, wxDialog)
    EVT_BUTTON(ID_PROFILE_HELP, CProfileDialog::OnHelp)
    EVT_BUTTON(ID_PROFILE_OK, CProfileDialog::OnOK)
    EVT_BUTTON(ID_PROFILE_CANCEL, CProfileDialog::OnCancel)
    EVT_BUTTON(ID_PROFILE_BROWSE, CProfileDialog::OnBrowsePhoto)
    EVT_CLOSE(CProfileDialog::OnClose)
wxEND_EVENT_TABLE()

CProfileDialog::CProfileDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, ToWx("Rookwell - User Profile (" + GetDialogHost().GetUserFolderText() + ")"),
               wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU)
{
    m_photo = new wxStaticBitmap(this, ID_PROFILE_PHOTO, LoadPhotoBitmap(m_pendingPhoto));
    ProfileLayout(this, true, true);
    Load();
    Centre(wxBOTH);
    SetAppIcon(this);
}

void CProfileDialog::Load()
{
    CConfig& user = GetAppServices().GetUserSettings();
    bool newUser = IsNewUser(user);
    if (newUser) {
        CProfileIntroDialog intro(this);
        intro.ShowModal();
    }
    SProfileFields fields;
    LoadProfile(user, fields);
    TextControl(this, ID_PROFILE_NAME)->ChangeValue(ToWx(fields.name));
    TextControl(this, ID_PROFILE_NICKNAME)->ChangeValue(ToWx(fields.nickname));
    TextControl(this, ID_PROFILE_EMAIL)->ChangeValue(ToWx(fields.email));
    TextControl(this, ID_PROFILE_OTHER_INFO)->ChangeValue(ToWx(fields.otherInformation));
    BoxControl(this, ID_PROFILE_KEEP_EMAIL_PRIVATE)->SetValue(fields.keepEmailPrivate);
    BoxControl(this, ID_PROFILE_KEEP_IP_PRIVATE)->SetValue(fields.keepIpPrivate);
    if (newUser)
        FindWindow(ID_PROFILE_CANCEL)->Disable();
}

void CProfileDialog::OnOK(wxCommandEvent&)
{
    SProfileFields fields;
    fields.name = FromWx(TextControl(this, ID_PROFILE_NAME)->GetValue());
    fields.nickname = FromWx(TextControl(this, ID_PROFILE_NICKNAME)->GetValue());
    fields.email = FromWx(TextControl(this, ID_PROFILE_EMAIL)->GetValue());
    fields.otherInformation = FromWx(TextControl(this, ID_PROFILE_OTHER_INFO)->GetValue());
    fields.keepEmailPrivate = BoxControl(this, ID_PROFILE_KEEP_EMAIL_PRIVATE)->GetValue();
    fields.keepIpPrivate = BoxControl(this, ID_PROFILE_KEEP_IP_PRIVATE)->GetValue();
    CConfig& user = GetAppServices().GetUserSettings();
    if (!StoreProfile(user, fields)) {
        GetPrompt().ShowMessage("Please enter your name.", "Name", wxOK, this);
        return;
    }
    EnsureUserId(user, unsigned(wxGetLocalTimeMillis().GetLo()), static_cast<unsigned long>(time(nullptr)));
    StorePendingPhoto();
    GetDialogHost().SaveUserSettings();
    EndModal(1);
    GetViewHost().RebuildBrowser(false);
}

void CProfileDialog::OnCancel(wxCommandEvent&)
{
    EndModal(0);
}

// Also for a new user: start-up decides what an unconfirmed profile means.
void CProfileDialog::OnClose(wxCloseEvent&)
{
    EndModal(0);
}

void CProfileDialog::OnHelp(wxCommandEvent&)
{
    GetDialogHost().ShowHelp("profile", nullptr);
}

void CProfileDialog::OnBrowsePhoto(wxCommandEvent&)
{
    CString path;
    if (!GetPrompt().AskFile("Browse for photo", "", "", kPhotoWildcard, wxFD_OPEN | wxFD_FILE_MUST_EXIST, this,
                             path))
        return;
    SetPhotoFrom(path);
}

bool CProfileDialog::SetPhotoFrom(const CString& path)
{
    wxBusyCursor busy;
    CImage picture;
    int error;
    {
        CWin32File file(path, CFile::kModeRead);
        error = picture.Load(file, kRgb24);
    }
    CImage photo;
    std::string bmp;
    if (error != 0 || !picture.HasPixels() || !MakeProfilePhoto(picture, photo) || !EncodePhoto(photo, bmp)) {
        GetPrompt().ShowMessage("Could not read image!", "Error", wxOK | wxICON_ERROR, this);
        return false;
    }
    // Stored at OK: Cancel keeps the old photo.
    m_pendingPhoto = bmp;
    ShowPhoto();
    return true;
}

void CProfileDialog::StorePendingPhoto()
{
    if (m_pendingPhoto.empty())
        return;
    errno = 0;
    if (!WriteFileAtomically(PhotoDiskPath(), m_pendingPhoto.data(), m_pendingPhoto.size())) {
        const char* why = std::strerror(errno ? errno : EIO);
        GetPrompt().ShowMessage(CString("The new photo could not be stored: ") + why + ".\n\nThe old photo is kept.",
                                "Error", wxOK | wxICON_ERROR, this);
        return;
    }
    m_pendingPhoto.clear();
    GetAppServices().GetUserSettings().GetValue(".supplied photo") = "yes";
}

void CProfileDialog::ShowPhoto()
{
    m_photo->SetBitmap(LoadPhotoBitmap(m_pendingPhoto));
    m_photo->Refresh();
}
