#include "client/dialogs/PreferencesDialog.h"

#include <ctime>

#include <wx/checkbox.h>
#include <wx/icon.h>
#include <wx/listbox.h>
#include <wx/slider.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "client/core/AppServices.h"
#include "client/core/MediaHost.h"
#include "client/core/MusicPlayer.h"
#include "client/core/Prompt.h"
#include "client/core/Sound.h"
#include "client/core/StartUp.h"
#include "client/core/WxText.h"
#include "client/dialogs/DialogHost.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"
#include "client/dialogs/Icons.h"
#include "client/dialogs/VoiceDialog.h"
#include "client/view/ViewHost.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"

using namespace Zorlin;

namespace {

struct SBoxKey {
    int id;
    const char* key;
};

// A missing key of the Browser page counts as checked (and is not made).
const SBoxKey kBrowserBoxes[] = {
    {ID_PREFS_BROWSER_ACTIVE_GAMES, "Preferences.browser.active.activegames"},
    {ID_PREFS_BROWSER_TOTD, "Preferences.browser.active.totd"},
    {ID_PREFS_BROWSER_NEWS, "Preferences.browser.active.news"},
    {ID_PREFS_BROWSER_PLAYED_GAMES, "Preferences.browser.active.playedgames"},
    {ID_PREFS_BROWSER_LAUNCHPAD, "Preferences.browser.active.launchpad"},
    {ID_PREFS_BROWSER_PROFILE, "Preferences.browser.active.profile"},
    {ID_PREFS_BROWSER_STATISTICS, "Preferences.browser.active.statistics"},
    {ID_PREFS_BROWSER_LINKS, "Preferences.browser.active.links"},
};

// A missing key of the Updates and Performance pages counts as unchecked.
const SBoxKey kOptionBoxes[] = {
    {ID_PREFS_UPDATES_APP, "Preferences.Updates.app"},
    {ID_PREFS_UPDATES_BROWSER, "Preferences.Updates.browser"},
    {ID_PREFS_16BIT, "Preferences.Graphics.16bit"},
    {ID_PREFS_DISABLE_FILTERING, "Preferences.Graphics.DisableFiltering"},
    {ID_PREFS_SMALL_TEXTURES, "Preferences.graphics.small textures"},
    {ID_PREFS_MUTE, "Preferences.Sound.Mute"},
};

const char kWhiteVoiceKey[] = "Preferences.voices.white.pack";
const char kBlackVoiceKey[] = "Preferences.voices.black.pack";
const char kSayCheckKey[] = "Preferences.voices.saycheck";
const char kBoardKey[] = "Preferences.board.pack";
// The setting the about box and the splash windows read.
const char kMusicKey[] = "preferences.music.enable";
const char kVolumeKey[] = "Preferences.Music.Volume";

CConfig& User()
{
    return GetAppServices().GetUserSettings();
}

const char* YesNo(bool value)
{
    return value ? "yes" : "no";
}

CMusicPlayer* BackgroundMusic()
{
    IMediaHost* media = GetMediaHost();
    return media ? media->GetMusicPlayer() : nullptr;
}

void SetMusicVolume(int volume)
{
    SetChannelVolume(kMusicChannel, volume);
    SetChannelVolume(kJingleChannel, volume);
}

} // namespace

wxBEGIN_EVENT_TABLE(CPreferencesDialog, wxDialog)
    EVT_BUTTON(ID_PREFS_OK, CPreferencesDialog::OnOK)
    EVT_BUTTON(ID_PREFS_CANCEL, CPreferencesDialog::OnCancel)
    EVT_BUTTON(ID_PREFS_HELP, CPreferencesDialog::OnHelp)
    EVT_CLOSE(CPreferencesDialog::OnClose)
    EVT_LISTBOX(ID_PREFS_BOARDS, CPreferencesDialog::OnBoardSelected)
    EVT_CHECKBOX(ID_PREFS_HIDE_LINKS, CPreferencesDialog::OnHideLinks)
    EVT_BUTTON(ID_PREFS_WHITE_VOICE_CHANGE, CPreferencesDialog::OnChangeWhiteVoice)
    EVT_BUTTON(ID_PREFS_BLACK_VOICE_CHANGE, CPreferencesDialog::OnChangeBlackVoice)
    EVT_BUTTON(ID_PREFS_BROWSER_APPLY, CPreferencesDialog::OnApplyBrowser)
    EVT_BUTTON(ID_PREFS_CHECK_NOW, CPreferencesDialog::OnCheckNow)
    EVT_BUTTON(ID_PREFS_UPDATE_NOW, CPreferencesDialog::OnUpdateNow)
    EVT_CHECKBOX(ID_PREFS_MUSIC_ENABLE, CPreferencesDialog::OnMusic)
    EVT_COMMAND_SCROLL(ID_PREFS_MUSIC_VOLUME, CPreferencesDialog::OnVolume)
wxEND_EVENT_TABLE()

CPreferencesDialog::CPreferencesDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Preferences", wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU),
      m_voicesChanged(false), m_savedBoardIndex(wxNOT_FOUND), m_musicWasOn(false), m_volumeWas(0)
{
    PreferencesLayout(this, true, true);
    wxIcon icon;
    icon.CopyFromBitmap(GetAppIcon(1));
    SetIcon(icon);
    Load();
    Centre(wxBOTH);
}

namespace {

void SetBox(wxWindow* dialog, int id, bool value)
{
    if (wxCheckBox* box = dynamic_cast<wxCheckBox*>(dialog->FindWindow(id)))
        box->SetValue(value);
}

bool GetBox(wxWindow* dialog, int id)
{
    wxCheckBox* box = dynamic_cast<wxCheckBox*>(dialog->FindWindow(id));
    return box && box->GetValue();
}

void SetText(wxWindow* dialog, int id, const CString& text)
{
    if (wxTextCtrl* control = dynamic_cast<wxTextCtrl*>(dialog->FindWindow(id)))
        control->ChangeValue(ToWx(text));
}

CString GetText(wxWindow* dialog, int id)
{
    wxTextCtrl* control = dynamic_cast<wxTextCtrl*>(dialog->FindWindow(id));
    return control ? FromWx(control->GetValue()) : CString();
}

} // namespace

void CPreferencesDialog::Load()
{
    CConfig& user = User();
    SetText(this, ID_PREFS_WHITE_VOICE, user.GetValueOr(kWhiteVoiceKey, ""));
    SetText(this, ID_PREFS_BLACK_VOICE, user.GetValueOr(kBlackVoiceKey, ""));
    SetBox(this, ID_PREFS_SAY_CHECK, IsSettingOn(user, kSayCheckKey));

    wxListBox* boards = dynamic_cast<wxListBox*>(FindWindow(ID_PREFS_BOARDS));
    CArray<CString> names;
    ListFolders(GetAppServices().GetProgramDrive(), "/boards/", names);
    wxArrayString items;
    for (int i = 0; i < names.GetCount(); ++i)
        items.Add(ToWx(*names.GetAt(i)));
    boards->Clear();
    boards->Append(items);
    CString saved = user.GetValueOr(kBoardKey, "");
    m_savedBoardIndex = saved.IsEmpty() ? wxNOT_FOUND : boards->FindString(ToWx(saved), false);
    if (m_savedBoardIndex != wxNOT_FOUND)
        boards->SetSelection(m_savedBoardIndex);
    // The saved board is the one the canvas shows already.
    m_shownBoard = saved;
    ShowBoard(saved, false);

    for (const SBoxKey& box : kBrowserBoxes)
        SetBox(this, box.id, IsSettingOn(user, box.key, true));
    for (const SBoxKey& box : kOptionBoxes)
        SetBox(this, box.id, IsSettingOn(user, box.key, false));

    m_musicWasOn = IsSettingOn(user, kMusicKey, false);
    SetBox(this, ID_PREFS_MUSIC_ENABLE, m_musicWasOn);
    m_volumeWas = GetMusicVolume(user);
    if (wxSlider* volume = dynamic_cast<wxSlider*>(FindWindow(ID_PREFS_MUSIC_VOLUME)))
        volume->SetValue(m_volumeWas);
}

CString CPreferencesDialog::GetSelectedBoard() const
{
    wxListBox* boards = dynamic_cast<wxListBox*>(FindWindow(ID_PREFS_BOARDS));
    int index = boards ? boards->GetSelection() : wxNOT_FOUND;
    return index == wxNOT_FOUND ? CString() : FromWx(boards->GetString(index));
}

bool CPreferencesDialog::ShowBoard(const CString& name, bool apply, bool isRetry)
{
    CString about;
    if (CURL::IsPlainName(name))
        about = ReadTextFile(GetAppServices().GetProgramDrive(), CString("/boards/", name.GetText()) + "/about.txt");
    SetText(this, ID_PREFS_BOARD_ABOUT, about);
    if (!apply)
        return true;
    if (!CURL::IsPlainName(name) || !GetDialogHost().ApplyBoardSkin(name)) {
        GetPrompt().ShowMessage("Could not read this board", "Show Board", wxOK | wxICON_ERROR, this);
        if (!isRetry && !m_shownBoard.IsEmpty() && !KeysEqualNoCase(m_shownBoard, name))
            ShowBoard(m_shownBoard, true, true);
        return false;
    }
    m_shownBoard = name;
    GetViewHost().ExecuteCommand("VIEW_BOARD");
    return true;
}

void CPreferencesDialog::SaveBrowserPage()
{
    CConfig& user = User();
    for (const SBoxKey& box : kBrowserBoxes)
        user.GetValue(box.key) = YesNo(GetBox(this, box.id));
}

void CPreferencesDialog::Save()
{
    wxBusyCursor busy;
    CConfig& user = User();
    if (m_voicesChanged) {
        user.GetValue(kWhiteVoiceKey) = GetText(this, ID_PREFS_WHITE_VOICE);
        user.GetValue(kBlackVoiceKey) = GetText(this, ID_PREFS_BLACK_VOICE);
        GetDialogHost().ReloadVoices();
    }
    // Without a selection the saved board stays: an empty name would send
    // the canvas to its fallback board at the next start.
    CString board = GetSelectedBoard();
    if (!board.IsEmpty())
        user.GetValue(kBoardKey) = board;
    SaveBrowserPage();
    for (const SBoxKey& box : kOptionBoxes)
        user.GetValue(box.key) = YesNo(GetBox(this, box.id));
    user.GetValue(kMusicKey) = YesNo(GetBox(this, ID_PREFS_MUSIC_ENABLE));
    if (wxSlider* volume = dynamic_cast<wxSlider*>(FindWindow(ID_PREFS_MUSIC_VOLUME))) {
        CString text;
        text.Append(volume->GetValue());
        user.GetValue(kVolumeKey) = text;
    }
    GetViewHost().RebuildBrowser(true);
    user.GetValue(kSayCheckKey) = YesNo(GetBox(this, ID_PREFS_SAY_CHECK));
    GetDialogHost().SaveUserSettings();
    EndModal(0);
    GetDialogHost().RefreshFrame();
}

// Cancel: the saved board, music and volume come back.
void CPreferencesDialog::UndoPreviews()
{
    wxBusyCursor busy;
    CString saved = User().GetValueOr(kBoardKey, "");
    // Only a preview is undone: a saved board missing from the list was
    // never replaced, so there is nothing to bring back.
    if (!saved.IsEmpty() && !KeysEqualNoCase(m_shownBoard, saved))
        ShowBoard(saved, true, true);
    if (GetBox(this, ID_PREFS_MUSIC_ENABLE) != m_musicWasOn)
        ApplyMusic(m_musicWasOn);
    SetMusicVolume(m_volumeWas);
}

void CPreferencesDialog::OnOK(wxCommandEvent&)
{
    Save();
}

void CPreferencesDialog::OnCancel(wxCommandEvent&)
{
    UndoPreviews();
    EndModal(0);
    GetDialogHost().RefreshFrame();
}

void CPreferencesDialog::OnClose(wxCloseEvent&)
{
    UndoPreviews();
    EndModal(0);
    GetDialogHost().RefreshFrame();
}

void CPreferencesDialog::OnHelp(wxCommandEvent&)
{
    GetDialogHost().ShowHelp("preferences", nullptr);
}

void CPreferencesDialog::OnBoardSelected(wxCommandEvent&)
{
    CString name = GetSelectedBoard();
    if (!name.IsEmpty())
        ShowBoard(name, true);
}

void CPreferencesDialog::OnHideLinks(wxCommandEvent&)
{
    GetDialogHost().SetBoardLinksShown(!GetBox(this, ID_PREFS_HIDE_LINKS));
    GetViewHost().ExecuteCommand("VIEW_BOARD");
}

void CPreferencesDialog::ChangeVoice(int textId)
{
    CString voice = GetText(this, textId);
    CSelectVoiceDialog chooser(this, wxID_ANY, &voice);
    chooser.ShowModal();
    if (!voice.IsEmpty())
        SetText(this, textId, voice);
    m_voicesChanged = true;
}

void CPreferencesDialog::OnChangeWhiteVoice(wxCommandEvent&)
{
    ChangeVoice(ID_PREFS_WHITE_VOICE);
}

void CPreferencesDialog::OnChangeBlackVoice(wxCommandEvent&)
{
    ChangeVoice(ID_PREFS_BLACK_VOICE);
}

void CPreferencesDialog::OnApplyBrowser(wxCommandEvent&)
{
    SaveBrowserPage();
    GetViewHost().RebuildBrowser(true);
    GetViewHost().ExecuteCommand("VIEW_BROWSER");
}

void CPreferencesDialog::OnCheckNow(wxCommandEvent&)
{
    if (wxWindow* button = FindWindow(ID_PREFS_CHECK_NOW))
        button->Disable();
    CDrive& drive = GetAppServices().GetProgramDrive();
    CConfig update;
    {
        CAutoPointer<CFile> file = drive.OpenFile(CURL("/cfg/update.cfg"), CFile::kModeRead);
        if (file && file->IsOpen())
            update.Read(*file);
    }
    GetDialogHost().StartUpdateCheck();
    time_t now = time(nullptr);
    update.GetValue("date") = FormatJulianDay(JulianDayOf(now));
    char checked[128] = "";
    struct tm local;
    if (localtime_r(&now, &local))
        strftime(checked, sizeof checked, "%c", &local);
    update.GetValue("checked") = checked;
    update.Write(drive, CURL("/cfg/update.cfg"), false);
}

void CPreferencesDialog::OnUpdateNow(wxCommandEvent&)
{
    GetDialogHost().StartLiveContentDownload();
    if (wxWindow* button = FindWindow(ID_PREFS_UPDATE_NOW))
        button->Disable();
}

void CPreferencesDialog::ApplyMusic(bool on)
{
    CMusicPlayer* music = BackgroundMusic();
    if (!music)
        return;
    if (!on) {
        music->Pause();
        return;
    }
    music->Resume();
    if (!music->HasStream())
        music->Play(kMusicChannel, false);
}

void CPreferencesDialog::OnMusic(wxCommandEvent&)
{
    ApplyMusic(GetBox(this, ID_PREFS_MUSIC_ENABLE));
}

void CPreferencesDialog::OnVolume(wxScrollEvent& event)
{
    SetMusicVolume(event.GetPosition());
}
