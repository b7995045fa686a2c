// Feeds arbitrary bytes to the online server from three players at once,
// without sockets: each piece of input goes to one connection's input as if
// read from its socket, and what the server queues for each is read back as
// a player would. Checked: every queued packet is whole and within the
// bounds; a forward or chat reaches only another player and names the
// sender truly; links are mutual; no two players share an id.
//
// Input: pieces of [player][length][bytes].

#include "FuzzSupport.h"

#include "foundation/Buffer.h"
#include "foundation/BufferFile.h"
#include "foundation/PacketHeader.h"
#include "server/GridmoorServer.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace Zorlin;
using FuzzSupport::Check;

namespace {

const int kPlayers = 3;

uint32_t Uint32At(const char* bytes)
{
    const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

// Reads everything queued for to, as its socket would take it.
void ReadOutput(CServerConnection& to, const CServerConnection* sender)
{
    std::string bytes(to.output.GetFront(), to.output.GetSize());
    to.output.Consume(to.output.GetSize());
    size_t pos = 0;
    while (pos < bytes.size()) {
        Check(bytes.size() - pos >= 4);
        const uint32_t length = Uint32At(bytes.data() + pos);
        pos += 4;
        Check(length >= CPacketHeader::kShortLength && length <= ServerLimits::kMaxPayload + CPacketHeader::kLongLength);
        Check(bytes.size() - pos >= length);
        CBuffer payload;
        payload.Resize(int(length));
        payload.WriteAt(bytes.data() + pos, int(length), 0);
        pos += length;
        CBufferFile file(&payload);
        CPacketHeader header;
        Check(header.Read(file));
        if (header.m_type == pktForward || header.m_type == pktChat) {
            // Only what the player just sent is passed on, and under its own id.
            Check(sender && sender != &to && sender->id != 0);
            Check(header.HasId() && header.m_id == sender->id);
            Check(to.id != 0 && to.stage == CServerConnection::kLoggedIn);
        }
    }
}

void CheckLinks(CServerConnection* const* players)
{
    for (int i = 0; i < kPlayers; ++i) {
        const CServerConnection& a = *players[i];
        if (a.dead)
            continue;
        for (int j = 0; j < kPlayers; ++j) {
            const CServerConnection& b = *players[j];
            if (i == j || b.dead)
                continue;
            if (a.id != 0)
                Check(a.id != b.id);
            if (a.peer != 0 && a.peer == b.id)
                Check(b.peer == a.id);
        }
        Check(a.peer == 0 || a.peer != a.id);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SServerOptions options;
    CGridmoorServer server(options, "Welcome");
    CServerConnection* players[kPlayers];
    for (int i = 0; i < kPlayers; ++i)
        players[i] = &server.Admit(-1, "fuzz", i);

    size_t pos = 0;
    while (pos + 2 <= size) {
        CServerConnection& from = *players[data[pos] % kPlayers];
        size_t length = data[pos + 1] == 255 ? size : data[pos + 1];
        pos += 2;
        if (length > size - pos)
            length = size - pos;
        if (!from.dead)
            server.TakeInput(from, data + pos, length);
        pos += length;
        for (CServerConnection* to : players)
            ReadOutput(*to, &from);
        CheckLinks(players);
    }
    return 0;
}
