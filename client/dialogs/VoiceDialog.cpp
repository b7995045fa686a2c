#include "client/dialogs/VoiceDialog.h"

#include <wx/listbox.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "client/core/AppServices.h"
#include "client/core/Prompt.h"
#include "client/core/Sound.h"
#include "client/core/Voice.h"
#include "client/core/VoicePlayer.h"
#include "client/core/WxText.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"
#include "client/view/ViewHost.h"
#include "foundation/Drive.h"

using namespace Zorlin;

wxBEGIN_EVENT_TABLE(CSelectVoiceDialog, wxDialog)
    EVT_LISTBOX(ID_VOICE_LIST, CSelectVoiceDialog::OnSelect)
    EVT_BUTTON(ID_VOICE_TEST, CSelectVoiceDialog::OnTest)
    EVT_BUTTON(ID_VOICE_GET_MORE, CSelectVoiceDialog::OnGetMore)
    EVT_BUTTON(ID_VOICE_OK, CSelectVoiceDialog::OnOK)
    EVT_BUTTON(ID_VOICE_CANCEL, CSelectVoiceDialog::OnCancel)
    EVT_CLOSE(CSelectVoiceDialog::OnClose)
wxEND_EVENT_TABLE()

CSelectVoiceDialog::CSelectVoiceDialog(wxWindow* parent, int id, CString* result)
    : wxDialog(parent, id, "Select A Voice", wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU),
      m_testText("pawn knight rook bishop queen king a b c 1 2 3"), m_result(result)
{
    SelectVoiceLayout(this, true, true);
    FillList();
    CentreOnParent(wxBOTH);
}

CSelectVoiceDialog::~CSelectVoiceDialog() = default;

void CSelectVoiceDialog::FillList()
{
    wxListBox* list = dynamic_cast<wxListBox*>(FindWindow(ID_VOICE_LIST));
    CArray<CString> names;
    ListFolders(GetAppServices().GetProgramDrive(), "/voices/", names);
    wxArrayString items;
    for (int i = 0; i < names.GetCount(); ++i)
        items.Add(ToWx(*names.GetAt(i)));
    list->Append(items);
    if (!m_result)
        return;
    int index = list->FindString(ToWx(*m_result), true);
    if (index != wxNOT_FOUND) {
        list->SetSelection(index);
        ShowAbout(*m_result);
    }
}

CString CSelectVoiceDialog::GetSelectedName() const
{
    wxListBox* list = dynamic_cast<wxListBox*>(FindWindow(ID_VOICE_LIST));
    int index = list ? list->GetSelection() : wxNOT_FOUND;
    return index == wxNOT_FOUND ? CString() : FromWx(list->GetString(index));
}

void CSelectVoiceDialog::ShowAbout(const CString& name)
{
    CString text;
    if (CURL::IsPlainName(name))
        text = ReadTextFile(GetAppServices().GetProgramDrive(), CString("/voices/", name.GetText()) + "/about.txt");
    if (wxTextCtrl* about = dynamic_cast<wxTextCtrl*>(FindWindow(ID_VOICE_ABOUT)))
        about->ChangeValue(ToWx(text));
}

void CSelectVoiceDialog::OnSelect(wxCommandEvent&)
{
    ShowAbout(GetSelectedName());
}

void CSelectVoiceDialog::OnTest(wxCommandEvent&)
{
    CString name = GetSelectedName();
    if (!CURL::IsPlainName(name))
        return;
    CVoice* voice;
    {
        wxBusyCursor busy;
        CDrive& drive = GetAppServices().GetProgramDrive();
        drive.PushDirectory();
        drive.ChangeDirectory(CURL("/voices/"));
        voice = LoadVoicePack(drive, name);
        drive.PopDirectory();
    }
    CString words = m_testText;
    bool answered = GetPrompt().AskText("Enter some words to say.", "Test voice", words, this);
    if (!answered || words.IsEmpty()) {
        delete voice;
        return;
    }
    m_testText = words;
    if (!m_tester)
        m_tester.Reset(new CVoicePlayer());
    m_tester->Clear();
    m_tester->SetChannel(kWhiteVoiceChannel);
    m_tester->SetVoice(voice);
    m_tester->Say(words.GetText());
}

void CSelectVoiceDialog::OnGetMore(wxCommandEvent&)
{
    GetViewHost().OpenUrl(kMoreVoicesAddress);
}

void CSelectVoiceDialog::OnOK(wxCommandEvent&)
{
    CString name = GetSelectedName();
    if (m_result && !name.IsEmpty())
        *m_result = name;
    EndModal(0);
}

void CSelectVoiceDialog::OnCancel(wxCommandEvent&)
{
    EndModal(0);
}

void CSelectVoiceDialog::OnClose(wxCloseEvent&)
{
    EndModal(0);
}
