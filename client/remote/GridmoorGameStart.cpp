#include "client/remote/GridmoorGameStart.h"

#include "client/core/ChessApp.h"
#include "client/core/ChessView.h"
#include "client/remote/GridmoorGame.h"
#include "client/remote/GridmoorGameWindows.h"
#include "client/remote/GridmoorLink.h"
#include "client/remote/GridmoorSession.h"
#include "client/remote/SessionListener.h"
#include "foundation/OutputStream.h"

using Zorlin::CBuffer;
using Zorlin::CString;

namespace {

// The game as the session's listener. The session owns it; the game only
// asks the session to put the default back when it ends.
class CGameSessionListener : public CSessionListener {
public:
    explicit CGameSessionListener(CGridmoorGame* game) : m_game(game) {}

    void OnSessionState(int state) override
    {
        if (m_game)
            m_game->OnSessionState(state);
    }
    bool OnPacket(const CPacketHeader& header, Zorlin::CFile& body) override
    {
        return m_game ? m_game->OnSessionPacket(header, body) : true;
    }

    CGridmoorGame* m_game;
};

class CSessionLink : public CGridmoorLink {
public:
    bool IsConnected() override
    {
        CGridmoorSession* session = Session();
        return session && session->IsConnected();
    }
    bool Send(const CBuffer& payload) override
    {
        CGridmoorSession* session = Session();
        return session && session->IsConnected() && session->SendPacket(payload);
    }
    void BeginBatch() override
    {
        if (CGridmoorSession* session = Session())
            session->GetOutput().Begin();
    }
    void EndBatch() override
    {
        if (CGridmoorSession* session = Session())
            session->GetOutput().End();
    }
    void Close() override
    {
        if (CGridmoorSession* session = Session())
            session->Close();
    }
    void ArmPlayerNotify(bool arm) override
    {
        if (CGridmoorSession* session = Session())
            session->ArmPlayerNotify(arm);
    }
    bool IsNotifyArmed() override
    {
        CGridmoorSession* session = Session();
        return session && session->IsNotifyArmed();
    }
    void Log(const CString& line) override
    {
        if (CGridmoorSession* session = Session())
            session->LogLine(line.GetText());
    }
    void SetLastOpponent(uint32_t id) override { CGridmoorSession::SetLastOpponentId(id); }
    void Listen(CGridmoorGame* game) override
    {
        if (CGridmoorSession* session = Session())
            session->SetListener(new CGameSessionListener(game));
    }
    void StopListening(CGridmoorGame* game) override
    {
        CGridmoorSession* session = Session();
        if (!session)
            return;
        CGameSessionListener* listener = dynamic_cast<CGameSessionListener*>(session->GetListener());
        if (!listener || listener->m_game != game)
            return;
        // Cleared first: a listener retired mid-handler is deleted later.
        listener->m_game = nullptr;
        session->SetListener(nullptr);
    }

private:
    static CGridmoorSession* Session()
    {
        CChessApp* app = GetChessApp();
        return app ? app->GetOnlineSession() : nullptr;
    }
};

} // namespace

CGridmoorLink& GetSessionLink()
{
    static CSessionLink link;
    return link;
}

bool MakeGridmoorGame(wxWindow*, const SOnlineGameStart& start)
{
    CChessView* view = CGame::GetChessView();
    if (!view || start.peerId == 0)
        return false;
    CGridmoorGame* game = new CGridmoorGame(&GetSessionLink(), new CGridmoorGameWindows());
    game->SetOpponentPhoto(start.opponentPicture);
    game->BeginGame(start.localSide == 0 ? WHITE : BLACK, start.peerId);
    if (start.timed)
        game->SetTimeControl(true, start.clock, start.clock);
    Zorlin::CConfig profile = start.opponentProfile;
    game->SetOpponentProfile(profile);
    view->ResetView(game, true, false);
    // The pieces follow the board's turn for a local Black.
    view->SyncScene();
    game->LinkOpponent(start.peerId);
    return true;
}
