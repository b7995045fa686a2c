#pragma once

// What the remote-play tests share: the toolkit started without a display
// and with an active event loop (sockets and child processes report through
// it), temporary folders, application services over them, and a byte device
// scripted by the test.

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "client/core/AppServices.h"
#include "client/core/ByteDevice.h"
#include "foundation/Buffer.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "testsupport/TempFiles.h"

namespace RemoteTest {

void StartToolkit();
// Runs the toolkit's events for about ms.
void PumpEvents(int ms);
// Pumps until done() holds or timeoutMs passed; the answer of done().
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);

using RookwellTest::FileExists;
using RookwellTest::MakeTempFolder;
using RookwellTest::ReadWholeFile;
using RookwellTest::RemoveTree;
using RookwellTest::WriteWholeFile;

// A 32-bit value in little-endian byte order, as the wire protocols send it.
std::string Le(uint32_t value);
// The four little-endian bytes at at; the caller checks they are there.
uint32_t ReadLe(const std::string& bytes, size_t at);
// An online packet as it travels: length, header (with the id when not 0)
// and body.
std::string OnlineFrame(int type, uint32_t id, const std::string& body);
// A direct network game frame: length, type and payload.
std::string NetFrame(uint32_t type, const std::string& payload = std::string());
std::string Bytes(const Zorlin::CBuffer& buffer);
Zorlin::CBuffer BufferOf(const std::string& bytes);

// The far end on 127.0.0.1: a listener that does not block and the one
// connection it took.
class CLoopbackServer {
public:
    explicit CLoopbackServer(int receiveBuffer = 0);
    virtual ~CLoopbackServer();
    bool Accept();
    void Send(const std::string& bytes);
    void CloseConnection();
    void CloseListener();
    int m_port = 0;

protected:
    int m_listener = -1;
    int m_connection = -1;
};

// Program and user folders of their own; installed while they live.
class CTestServices : public CAppServices {
public:
    CTestServices();
    ~CTestServices() override;

    Zorlin::CDrive& GetProgramDrive() override { return *m_programDrive; }
    Zorlin::CDrive& GetUserDrive() override { return *m_userDrive; }
    Zorlin::CConfig& GetProgramSettings() override { return m_programSettings; }
    Zorlin::CConfig& GetUserSettings() override { return m_userSettings; }
    CFrameView* GetFrameView() override { return nullptr; }
    CConsole* CreateConsole(const Zorlin::CString& title) override;
    void ShowHtmlMessage(const Zorlin::CString&, const Zorlin::CString&) override {}

    std::string m_programFolder;
    std::string m_userFolder;
    std::unique_ptr<Zorlin::CDiskDrive> m_programDrive;
    std::unique_ptr<Zorlin::CDiskDrive> m_userDrive;
    Zorlin::CConfig m_programSettings;
    Zorlin::CConfig m_userSettings;
    // What every console made by these services was given, in order.
    std::shared_ptr<std::string> m_consoleLog = std::make_shared<std::string>();

private:
    CAppServices* m_previous;
};

// The peer's bytes arrive in the chunks the test queues; a read takes at
// most one chunk. What we write is kept; the sizes asked for are counted.
class CScriptedBytes : public CByteDevice {
public:
    int Read(char* buffer, int size) override
    {
        m_asked.push_back(size);
        if (m_chunks.empty())
            return m_ended ? -1 : 0;
        std::string& chunk = m_chunks.front();
        const int n = int(chunk.size()) < size ? int(chunk.size()) : size;
        std::memcpy(buffer, chunk.data(), size_t(n));
        chunk.erase(0, size_t(n));
        if (chunk.empty())
            m_chunks.pop_front();
        return n;
    }
    int ReadError(char*, int) override { return m_ended ? -1 : 0; }
    bool Write(const char* data, int size) override
    {
        if (m_refuseWrites)
            return false;
        m_written.append(data, size_t(size));
        return true;
    }
    void CloseInput() override {}
    void WaitReadable(int) override {}
    bool HasEnded() const override { return m_ended; }
    void Release() override {}

    void Queue(const std::string& bytes) { m_chunks.push_back(bytes); }

    std::deque<std::string> m_chunks;
    std::string m_written;
    std::vector<int> m_asked;
    bool m_ended = false;
    bool m_refuseWrites = false;
};

} // namespace RemoteTest
