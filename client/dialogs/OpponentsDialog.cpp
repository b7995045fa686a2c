#include "client/dialogs/OpponentsDialog.h"

#include <cstdint>
#include <vector>

#include <wx/image.h>
#include <wx/listbox.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/statbmp.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/PhotoFit.h"
#include "client/core/Prompt.h"
#include "client/core/WxText.h"
#include "client/dialogs/DialogHost.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"
#include "client/remote/OpponentList.h"
#include "client/remote/OpponentStore.h"
#include "foundation/AutoPointer.h"
#include "foundation/File.h"

using Zorlin::CString;

wxBEGIN_EVENT_TABLE(COpponentsDialog, wxDialog)
    EVT_LISTBOX(ID_OPPONENTS_LIST, COpponentsDialog::OnSelect)
    EVT_BUTTON(ID_OPPONENTS_REMOVE, COpponentsDialog::OnRemove)
    EVT_BUTTON(ID_OPPONENTS_OK, COpponentsDialog::OnOK)
    EVT_BUTTON(ID_OPPONENTS_HELP, COpponentsDialog::OnHelp)
    EVT_CLOSE(COpponentsDialog::OnClose)
wxEND_EVENT_TABLE()

namespace {

struct SField {
    int id;
    const char* key;
    const char* storedAs;
};

const SField kFields[] = {
    {ID_OPPONENTS_NAME, ".Profile.name", ".Profile.name"},
    {ID_OPPONENTS_NICK, ".Profile.Nickname", ".Profile.Nickname"},
    {ID_OPPONENTS_EMAIL, ".Profile.Email", ".Profile.Email"},
    {ID_OPPONENTS_IP, ".Profile.ip", ".Profile.IP"},
    {ID_OPPONENTS_OTHER_INFO, ".Profile.OtherInformation", ".Profile.OtherInformation"},
    {ID_OPPONENTS_NOTES, ".Notes", ".Notes"},
};

wxTextCtrl* Field(wxWindow* dialog, int id)
{
    return dynamic_cast<wxTextCtrl*>(dialog->FindWindow(id));
}

// The photo file as a bitmap of the photo's size; OpenPhoto has read a
// stored picture under the picture limit already.
wxBitmap LoadBitmap(Zorlin::CFile& file)
{
    wxLogNull quiet;
    const uint32_t size = file.GetSize32();
    if (!file.IsOpen() || file.IsNull() || size == 0 || size > kMaxReceivedPictureFile ||
        !file.Seek(0, Zorlin::CFile::kSeekStart))
        return wxBitmap();
    std::vector<unsigned char> bytes(size);
    if (!file.Read(bytes.data(), size))
        return wxBitmap();
    wxMemoryInputStream stream(bytes.data(), bytes.size());
    wxImage image;
    if (!image.LoadFile(stream, wxBITMAP_TYPE_BMP) || !image.IsOk())
        return wxBitmap();
    if (image.GetWidth() != kPhotoWidth || image.GetHeight() != kPhotoHeight)
        image.Rescale(kPhotoWidth, kPhotoHeight);
    return wxBitmap(image);
}

} // namespace

COpponentsDialog::COpponentsDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Your Opponents", wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU),
      m_shown(-1), m_photo(nullptr)
{
    // Until an opponent is shown the picture's place is the window's own colour.
    wxImage blank(kPhotoWidth, kPhotoHeight);
    const wxColour background = GetBackgroundColour();
    blank.SetRGB(wxRect(0, 0, kPhotoWidth, kPhotoHeight), background.Red(), background.Green(), background.Blue());
    m_photo = new wxStaticBitmap(this, ID_OPPONENTS_PHOTO, wxBitmap(blank));
    OpponentsLayout(this, true, true);
    SetAppIcon(this);
    Refresh();
    Centre(wxBOTH);
}

void COpponentsDialog::FillList(wxListBox* list, COpponentList& opponents)
{
    list->Clear();
    for (const auto& entry : opponents.GetNumbers()) {
        COpponentProfile* profile = opponents.GetByNumber(entry.first);
        if (!profile || !profile->Load())
            continue;
        CString name = profile->m_profile.GetValueOr(".Profile.Name", "");
        if (name.IsEmpty())
            name = profile->GetId();
        list->Append(ToWx(name), reinterpret_cast<void*>(intptr_t(entry.first)));
    }
}

int COpponentsDialog::SelectedNumber(wxListBox* list)
{
    const int selection = list->GetSelection();
    if (selection == wxNOT_FOUND)
        return -1;
    return int(reinterpret_cast<intptr_t>(list->GetClientData(unsigned(selection))));
}

void COpponentsDialog::Refresh()
{
    wxBusyCursor busy;
    for (const SField& field : kFields)
        Field(this, field.id)->ChangeValue("");
    m_shown = -1;
    wxListBox* list = dynamic_cast<wxListBox*>(FindWindow(ID_OPPONENTS_LIST));
    FillList(list, GetOpponentList());
    if (list->GetCount() > 0) {
        list->SetSelection(0);
        m_shown = SelectedNumber(list);
        ShowOpponent(m_shown);
    }
    FindWindow(ID_OPPONENTS_REMOVE)->Enable(list->GetCount() > 0);
}

void COpponentsDialog::ShowOpponent(int number)
{
    COpponentProfile* profile = GetOpponentList().GetByNumber(number);
    if (!profile || !profile->Load())
        return;
    for (const SField& field : kFields)
        Field(this, field.id)->ChangeValue(ToWx(profile->m_profile.GetValueOr(field.key, "")));
    Zorlin::CAutoPointer<Zorlin::CFile> photo;
    profile->OpenPhoto(photo);
    wxBitmap picture = photo ? LoadBitmap(*photo) : wxBitmap();
    if (picture.IsOk())
        m_photo->SetBitmap(picture);
}

void COpponentsDialog::Store(int number)
{
    COpponentProfile* profile = GetOpponentList().GetByNumber(number);
    if (!profile || !profile->Load())
        return;
    for (const SField& field : kFields)
        profile->m_profile.GetValue(field.storedAs) = FromWx(Field(this, field.id)->GetValue());
    profile->Save();
}

void COpponentsDialog::OnSelect(wxCommandEvent&)
{
    if (m_shown >= 0)
        Store(m_shown);
    const int number = SelectedNumber(dynamic_cast<wxListBox*>(FindWindow(ID_OPPONENTS_LIST)));
    if (number < 0)
        return;
    ShowOpponent(number);
    m_shown = number;
}

void COpponentsDialog::OnRemove(wxCommandEvent&)
{
    if (m_shown < 0)
        return;
    if (GetPrompt().ShowMessage("Are you sure you wish to permanently remove this opponent from your list?",
                                "Remove opponent", wxYES_NO | wxICON_QUESTION, this) != wxYES)
        return;
    GetOpponentList().Remove(m_shown);
    Refresh();
}

void COpponentsDialog::OnOK(wxCommandEvent&)
{
    if (m_shown >= 0)
        Store(m_shown);
    EndModal(0);
}

void COpponentsDialog::OnHelp(wxCommandEvent&)
{
    GetDialogHost().ShowHelp("opponents", nullptr);
}

void COpponentsDialog::OnClose(wxCloseEvent&)
{
    EndModal(0);
}
