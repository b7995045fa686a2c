#pragma once

// The client's one session with the online server: logs in as soon as the
// connection stands, keeps it alive, handles the server's own notices and
// hands every other packet to its current listener. Packets of the session
// and of the online game are built in its send buffer, one at a time.

#include <cstdint>
#include <memory>
#include <vector>

#include "client/remote/PacketHeader.h"
#include "client/remote/SessionListener.h"
#include "client/remote/SocketConnection.h"
#include "foundation/Buffer.h"
#include "foundation/BufferFile.h"
#include "foundation/String.h"

class CConsole;
class CKeepAliveTimer;
class CSessionNotifyHandler;

class CGridmoorSession : public CSocketConnection {
public:
    static const int kKeepAliveMs = 45000;
    static const char* const kOpeningText;

    CGridmoorSession();
    ~CGridmoorSession() override;

    // True (and nothing done) when already connected; otherwise connects to
    // the server of the program settings and answers false.
    bool ConnectToServer();
    void SendHeaderOnly(int type, uint32_t id);
    void SendKeepAlive();
    // pktSet then pktInfo, in one write.
    void SendProfile();
    // Arms the new-player notice (connected only) or disarms it.
    void ArmPlayerNotify(bool arm);
    bool IsNotifyArmed() const { return m_notifyWaiting; }
    // Destroys the log window, then the session.
    void Destroy();

    // Installs listener (owned; null installs a default one). The one it
    // replaces is deleted, but not before its own handler has returned.
    void SetListener(CSessionListener* listener);
    CSessionListener* GetListener() const { return m_listener; }

    // The send buffer emptied and the header written; the body follows in
    // the returned file, then SendStarted sends it as one packet.
    Zorlin::CFile& StartPacket(uint32_t type, uint32_t id = 0);
    bool SendStarted();

    uint32_t GetClientId() const { return m_clientId; }
    bool IsLoggedIn() const { return m_loggedIn; }
    bool IsLoginSent() const { return m_loginSent; }
    // A line in the "Gridmoor Log" window.
    void LogLine(const char* text);
    CConsole* GetLog() const { return m_log; }

    // The opponent of the most recent online game, for the whole run.
    static uint32_t GetLastOpponentId();
    static void SetLastOpponentId(uint32_t id);
    // Set by the new-player notice's "find opponent": the search dialog
    // starts searching at once when it opens on a standing connection.
    static bool TakeStartSearchAtOnce();
    static void SetStartSearchAtOnce(bool at);

    // CSocketConnection.
    void OnConnecting() override;
    void OnConnected() override;
    void OnDisconnected() override;
    bool OnPacket(Zorlin::CBuffer& payload) override;

protected:
    // Where the server's messages and the new-player notice appear, and the
    // sounds they make; tests replace them.
    virtual void ShowServerMessage(const Zorlin::CString& title, const Zorlin::CString& html);
    virtual void ShowNewPlayerNotice();
    virtual void PlayEffect(int effect);

private:
    void ReportState(int state);
    bool PassToListener(const CPacketHeader& header, Zorlin::CFile& body);
    void StopKeepAlive();
    void RunNotification();

    bool m_loginSent;
    bool m_loggedIn;
    bool m_connected;
    bool m_notifyWaiting;
    uint32_t m_clientId;
    CSessionListener* m_listener;
    // Listeners replaced while a handler of theirs runs.
    std::vector<CSessionListener*> m_retired;
    int m_dispatching;
    Zorlin::CBuffer m_sendBuffer;
    Zorlin::CBufferFile m_sendFile;
    CConsole* m_log;
    std::unique_ptr<CKeepAliveTimer> m_keepAlive;
    std::unique_ptr<CSessionNotifyHandler> m_notifyHandler;
    // Points at a flag of the packet in hand, so a handler that ends the
    // session is seen there.
    bool* m_alive;
};
