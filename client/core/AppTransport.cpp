// Opening a transport file: what it holds decides where it goes.

#include "client/core/ChessFrame.h"

#include "chess/ChessBoard.h"
#include "chess/Move.h"
#include "client/core/ChessApp.h"
#include "client/core/ChessView.h"
#include "client/core/Game.h"
#include "client/core/GameFileRules.h"
#include "client/core/ProfileArchive.h"
#include "client/core/Prompt.h"
#include "client/core/RemoteTransport.h"
#include "client/view/ConsoleWindow.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/AutoPointer.h"
#include "foundation/Config.h"
#include "foundation/MemFile.h"
#include "foundation/NameText.h"
#include "foundation/URL.h"
#include "foundation/Win32File.h"

using Zorlin::CArchiveDrive;
using Zorlin::CAutoPointer;
using Zorlin::CConfig;
using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;
using Zorlin::CURL;
using Zorlin::CWin32File;

namespace {

const char* const kFileCaption = "Rookwell File";
// An invitation is three short keys; a manifest not much more.
const uint32_t kMaxConfigSize = 65536;
// A profile with its photo; anything bigger is not one.
const uint32_t kMaxProfileArchiveSize = 4 * 1024 * 1024;
// The longest move text worth reading ("exd8=Q+" and the like).
const int kMaxMoveText = 32;

CRemoteTransport* g_remoteTransport = nullptr;

bool ReadConfig(CFile& file, CConfig& out)
{
    return file.IsOpen() && file.GetSize() <= kMaxConfigSize && out.Read(file);
}

} // namespace

CRemoteTransport* GetRemoteTransport()
{
    return g_remoteTransport;
}

CRemoteTransport* SetRemoteTransport(CRemoteTransport* transport)
{
    CRemoteTransport* previous = g_remoteTransport;
    g_remoteTransport = transport;
    return previous;
}

bool StoreOpponentProfile(CFile& profileArchive)
{
    CRemoteTransport* remote = GetRemoteTransport();
    if (!remote || !profileArchive.IsOpen() || profileArchive.GetSize() > kMaxProfileArchiveSize)
        return false;
    CMemFile copy(profileArchive, 1024);
    CConfig profile;
    CString id;
    // The id names the opponent's files: it is checked before anyone uses it.
    if (!ReadProfileArchive(copy, profile, id) || !copy.Seek(0, CFile::kSeekStart)) {
        CChessApp* app = GetChessApp();
        if (app && app->m_console)
            app->m_console->Write((CString(kProfileRefused) + "\n").GetText());
        GetPrompt().ShowMessage(kProfileRefused, "Opponent's Profile", wxOK | wxICON_WARNING,
                                app ? app->m_frame : nullptr);
        return false;
    }
    remote->InstallOpponentProfile(copy);
    return true;
}

bool CChessApp::OpenTransportFile(const char* path)
{
    // What the file holds may yield (a PGN read, a package installed) while
    // the frame and its windows are in use.
    CChessFrame::CHold hold(m_frame);
    const CString name(path ? path : "");
    // Not ReverseFind(char): it gives 0 for a name without a dot, which
    // would read "apgn" as a PGN file.
    int dot = -1;
    const bool hasDot = name.ReverseFind('.', &dot, name.GetLength() - 1, 0) && dot > 0;
    const CString extension = hasDot ? name.Mid(dot + 1) : CString();
    const bool pgn = Zorlin::KeysEqualNoCase(extension, CString("pgn"));
    const bool savedGame = Zorlin::KeysEqualNoCase(extension, CString("rwg"));
    const long style = wxOK | wxICON_ERROR;
    // Refused before anything is asked about the game on the board.
    if (IsThereButNoPlainFile(name)) {
        if (pgn || savedGame)
            GetPrompt().ShowMessage(pgn ? "Could not open PGN file." : "Could not open the game file.", "Open",
                                    style, m_frame);
        else
            GetPrompt().ShowMessage("Don't know what to do with this file.", kFileCaption, style, m_frame);
        return false;
    }
    // Both replace the game on the board: as the menu's Open does, the
    // game is asked first whether it may go.
    if (pgn || savedGame) {
        if (!m_frame || !m_frame->MayLeaveGame() || m_frame->IsClosing())
            return true;
        if (pgn)
            m_frame->OpenPgnFile(name);
        else
            m_frame->OpenGameFile(name);
        return true;
    }

    CWin32File file(name, CFile::kModeRead);
    if (!file.IsOpen()) {
        GetPrompt().ShowMessage("Could not open this file", kFileCaption, style, m_frame);
        return false;
    }
    if (!file.IsRegular()) {
        GetPrompt().ShowMessage("Don't know what to do with this file.", kFileCaption, style, m_frame);
        return false;
    }
    CArchiveDrive archive;
    if (!archive.Open(&file, nullptr, false)) {
        if (!file.Seek(0, CFile::kSeekStart) || !OpenNetworkInvitation(file)) {
            GetPrompt().ShowMessage("Don't know what to do with this file.", kFileCaption, style, m_frame);
            return false;
        }
        return true;
    }
    CConfig manifest;
    {
        CAutoPointer<CFile> contents = archive.OpenFile(CURL("contents.cfg"), CFile::kModeRead);
        if (!contents || contents->IsNull() || !ReadConfig(*contents, manifest)) {
            GetPrompt().ShowMessage("Could not retrieve file contents.", kFileCaption, style, m_frame);
            return false;
        }
    }
    CString minor = manifest.GetValueOr("contents.minor", "");
    minor.Trim();
    if (Zorlin::KeysEqualNoCase(minor, CString("email"))) {
        RestoreEmailGame(archive);
        return true;
    }
    if (!InstallPackage(archive, name.GetText())) {
        GetPrompt().ShowMessage("Don't know what to do with this Rookwell File.\n\nWrong version perhaps?",
                                kFileCaption, style, m_frame);
        return false;
    }
    return true;
}

bool CChessApp::OpenNetworkInvitation(CFile& file)
{
    CConfig invitation;
    if (!ReadConfig(file, invitation))
        return false;
    CString type = invitation.GetValueOr("type", "");
    type.Trim();
    if (!Zorlin::KeysEqualNoCase(type, CString("network invite")))
        return false;
    const CString from = Zorlin::CutCharacters(invitation.GetValueOr("from", ""), kMaxProfileName);
    CString address = invitation.GetValueOr("ip", "");
    address.Trim();
    CString text = CString("You have received an invitation from ") + from + " to join a network game.\n\n";
    CRemoteTransport* remote = GetRemoteTransport();
    if (!remote) {
        text += "Network games are not available in this version of Rookwell yet.";
        GetPrompt().ShowMessage(text, "Invitation", wxOK | wxICON_INFORMATION, m_frame);
        return true;
    }
    text += "Just click the 'Join Game' button in the following dialog to start playing.";
    GetPrompt().ShowMessage(text, "Invitation", wxOK, m_frame);
    // A game joined replaces the one on the board, which is asked first.
    if (m_frame && (!m_frame->MayLeaveGame() || m_frame->IsClosing()))
        return true;
    remote->OpenJoinDialog(m_frame, address);
    return true;
}

void CChessApp::RestoreEmailGame(CArchiveDrive& archive)
{
    const long style = wxOK | wxICON_ERROR;
    CRemoteTransport* remote = GetRemoteTransport();
    if (!remote) {
        GetPrompt().ShowMessage("Games by e-mail are not available in this version of Rookwell yet.\n\n"
                                "The turn was not opened.",
                                kFileCaption, wxOK | wxICON_INFORMATION, m_frame);
        return;
    }
    if (!archive.ChangeDirectory(CURL("contents"))) {
        GetPrompt().ShowMessage("Archive has no contents!", "Error opening file", style, m_frame);
        return;
    }
    CString moveText;
    bool told = false;
    CGame* game = remote->OpenEmailTurn(archive, moveText, told);
    if (!game) {
        // One message for one failure: a refusal has said why already.
        if (!told)
            GetPrompt().ShowMessage("Could not restore this game!", "Problem", style, m_frame);
        return;
    }
    // The sender's profile only from a turn that was taken.
    if (archive.Exists(CURL("Profile.rwf"))) {
        CAutoPointer<CFile> profile = archive.OpenFile(CURL("Profile.rwf"), CFile::kModeRead);
        if (profile && !profile->IsNull())
            StoreOpponentProfile(*profile);
    }
    moveText.Trim();
    if (!game->IsInPlay() || moveText.IsEmpty() || moveText.GetLength() > kMaxMoveText || !m_frame)
        return;
    // A move from another machine is played only when it is legal here.
    CMove move;
    if (!game->GetBoard().ParseSan(moveText, move, true))
        return;
    if (CChessView* view = m_frame->GetChessView())
        view->PlayMove(move, true);
}
