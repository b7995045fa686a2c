#include <algorithm>

#include "foundation/BufferFile.h"
#include "foundation/File.h"
#include "foundation/PacketHeader.h"
#include "foundation/String.h"
#include "server/GridmoorServer.h"

using Zorlin::CBuffer;
using Zorlin::CBufferFile;
using Zorlin::CFile;

namespace {

const char kOpeningText[] = "multiserver session begin";
const size_t kOpeningLength = sizeof(kOpeningText) - 1;
const char kProtocolVersion[] = "2";
const uint32_t kIdEnd = 0x80000000u; // ids stay below 2^31

std::string NextLine(CFile& body)
{
    Zorlin::CString line;
    WireText::ReadLine(body, line, WireText::kMaxLine);
    return std::string(line.GetText(), size_t(line.GetLength()));
}

// The latest value per key, in the order keys first came.
void MergeSettings(TSettings& into, const TSettings& from)
{
    for (const SSetting& pair : from) {
        auto same = std::find_if(into.begin(), into.end(), [&](const SSetting& s) { return s.key == pair.key; });
        if (same != into.end())
            same->value = pair.value;
        else if (into.size() < SearchLimits::kMaxSettings)
            into.push_back(pair);
    }
}

std::string NameOf(const CServerConnection& connection)
{
    const std::string* name = FindSetting(connection.profile, "name");
    return name ? LogText(*name) : std::string();
}

} // namespace

// ------------------------------------------------------------ sending

void CGridmoorServer::Send(CServerConnection& to, uint32_t type, uint32_t id, const void* body, size_t size,
                           CServerConnection* from)
{
    if (to.dead || to.stage == CServerConnection::kClosing)
        return;
    to.output.AppendPacket(type, id, body, size, from ? from->id : 0);
    if (from) {
        // What another player sends is that player's to slow down, never
        // the reader's to pay for.
        if (to.output.GetQueuedFrom(from->id) > ServerLimits::kMaxQueuedFromSender)
            Hold(*from, to);
    } else if (to.output.GetOwnSize() > ServerLimits::kMaxQueued) {
        Drop(to, "not reading: too many bytes waiting");
        return;
    }
    if (!to.dirty) {
        to.dirty = true;
        m_dirty.push_back(&to);
    }
}

void CGridmoorServer::SendLines(CServerConnection& to, uint32_t type, uint32_t id,
                                const std::vector<std::string>& lines)
{
    std::string body;
    for (const std::string& line : lines) {
        body += line;
        body += '\n';
    }
    Send(to, type, id, body.data(), body.size());
}

void CGridmoorServer::Hold(CServerConnection& sender, CServerConnection& reader)
{
    if (sender.readPaused || sender.dead)
        return;
    sender.readPaused = true;
    sender.pausedFor = reader.id;
    sender.pausedAt = m_now;
    // Whatever of its input is at hand waits in its packet stream.
    sender.stream.Pause();
    if (std::find(reader.heldSenders.begin(), reader.heldSenders.end(), sender.id) == reader.heldSenders.end())
        reader.heldSenders.push_back(sender.id);
    Watch(sender, sender.wantsOutput);
    if (sender.pauseLogged)
        return;
    sender.pauseLogged = true;
    ServerLog("slowing %s: %s takes its messages slower than they come (%zu bytes waiting)",
              LogLabel(sender).c_str(), LogLabel(reader).c_str(), reader.output.GetQueuedFrom(sender.id));
}

void CGridmoorServer::ReleaseSenders(CServerConnection& reader, bool all)
{
    auto& held = reader.heldSenders;
    for (size_t i = 0; i < held.size();) {
        const CServerConnection* sender = Find(held[i]);
        const bool stillHeld = sender && sender->readPaused && sender->pausedFor == reader.id;
        if (stillHeld && !all && reader.output.GetQueuedFrom(held[i]) > ServerLimits::kResumeFromSender) {
            ++i;
            continue;
        }
        if (stillHeld)
            m_released.push_back(held[i]);
        held.erase(held.begin() + long(i));
    }
}

void CGridmoorServer::ResumeReleased()
{
    while (!m_released.empty()) {
        std::vector<uint32_t> ids;
        ids.swap(m_released);
        for (uint32_t id : ids) {
            CServerConnection* sender = Find(id);
            if (!sender || !sender->readPaused)
                continue;
            sender->readPaused = false;
            sender->pausedFor = 0;
            // Its silence meanwhile was the server's doing.
            sender->lastHeard = m_now;
            Watch(*sender, sender->wantsOutput);
            // Replays the input held back; may hold the sender again.
            sender->stream.Resume();
        }
        FlushDirty();
    }
}

void CGridmoorServer::EndHeldLink(CServerConnection& sender)
{
    CServerConnection* reader = Find(sender.pausedFor);
    ServerLog("%s is not reading: %s's messages not taken in %g s", reader ? LogLabel(*reader).c_str() : "a player",
              LogLabel(sender).c_str(), double(m_idleMs) / 1000.0);
    if (reader) {
        // The sender learns the link is broken; the reader keeps its place.
        if (reader->link == &sender)
            Unlink(*reader, pktConnectionBroken);
        auto& held = reader->heldSenders;
        held.erase(std::remove(held.begin(), held.end(), sender.id), held.end());
    }
    m_released.push_back(sender.id);
}

CServerConnection* CGridmoorServer::Find(uint32_t id) const
{
    auto found = m_byId.find(id);
    return found == m_byId.end() || found->second->dead ? nullptr : found->second;
}

uint32_t CGridmoorServer::NextId()
{
    // Counts on from the drawn start; an id still in use is passed over.
    for (;;) {
        uint32_t id = m_nextId++;
        if (m_nextId >= kIdEnd)
            m_nextId = 1;
        if (id != 0 && !m_byId.count(id))
            return id;
    }
}

// ------------------------------------------------------------ ends

void CGridmoorServer::Kick(CServerConnection& connection, const char* reason, const char* html)
{
    if (connection.dead || connection.stage == CServerConnection::kClosing)
        return;
    ServerLog("error: %s (%s) kicked: %s", connection.address.c_str(), LogLabel(connection).c_str(), reason);
    std::string body = std::string(reason) + "\n" + html;
    Send(connection, pktKick, 0, body.data(), body.size());
    if (connection.dead)
        return;
    Detach(connection);
    // It gets a moment to read the kick; its input is no longer read.
    connection.stage = CServerConnection::kClosing;
    connection.closeBy = m_now + ServerLimits::kClosingGraceMs;
}

void CGridmoorServer::Drop(CServerConnection& connection, const char* why)
{
    if (connection.dead)
        return;
    ServerLog("%s%s (%s): %s", connection.id ? "logout " : "error: ", connection.address.c_str(),
              LogLabel(connection).c_str(), why);
    ForgetLater(connection);
    Detach(connection);
}

void CGridmoorServer::Detach(CServerConnection& connection)
{
    if (connection.id) {
        m_pool.Remove(connection.id);
        m_byId.erase(connection.id);
        connection.notifyArmed = false;
    }
    // The peer learns whether the link had carried anything yet.
    Unlink(connection, connection.linkCarried ? pktConnectionBroken : pktConnectFailed);
}

void CGridmoorServer::Unlink(CServerConnection& connection, uint32_t notice)
{
    if (!connection.peer)
        return;
    CServerConnection* peer = connection.link;
    ServerLog("link end %u - %u: %s%s", connection.id, connection.peer, CPacketHeader::GetPacketTypeName(notice),
              peer ? (" (" + LogLabel(connection) + " and " + LogLabel(*peer) + ")").c_str() : "");
    connection.peer = 0;
    connection.link = nullptr;
    connection.linkCarried = false;
    if (!peer || peer->link != &connection)
        return;
    peer->peer = 0;
    peer->link = nullptr;
    peer->linkCarried = false;
    Send(*peer, notice, connection.id);
}

void CGridmoorServer::Link(CServerConnection& first, CServerConnection& second)
{
    Unlink(first, pktConnectionClosed);
    Unlink(second, pktConnectionClosed);
    first.peer = second.id;
    second.peer = first.id;
    first.link = &second;
    second.link = &first;
    first.linkCarried = second.linkCarried = false;
    first.pauseLogged = second.pauseLogged = false;
}

// ------------------------------------------------------------ input

bool CGridmoorServer::OnOpeningText(CServerConnection& connection, const unsigned char* data, size_t n, size_t& used)
{
    used = 0;
    while (used < n && connection.openingMatched < kOpeningLength) {
        if (data[used] != (unsigned char)kOpeningText[connection.openingMatched]) {
            Kick(connection, "protocol", "<p>This is a Gridmoor server; your program did not greet it as one.</p>");
            return false;
        }
        ++used;
        ++connection.openingMatched;
    }
    if (connection.openingMatched == kOpeningLength)
        connection.stage = CServerConnection::kProtocol;
    return true;
}

bool CGridmoorServer::OnBadLength(CServerConnection& connection, bool zeroLength, uint32_t length)
{
    if (zeroLength) {
        connection.lastHeard = m_now;
        return true; // an empty packet is ignored
    }
    std::string reason = "packet of " + std::to_string(length) + " bytes refused";
    Kick(connection, reason.c_str(), "<p>Your program sent a packet larger than this server takes.</p>");
    return false;
}

bool CGridmoorServer::OnPacket(CServerConnection& connection, CBuffer& payload)
{
    if (connection.dead || connection.stage == CServerConnection::kClosing)
        return false;
    // Only whole packets count as heard: a byte now and then keeps no one in.
    connection.lastHeard = m_now;
    CBufferFile body(&payload);
    CPacketHeader header;
    if (!header.Read(body))
        return true; // not a packet we can read: ignored
    if (connection.stage == CServerConnection::kProtocol)
        return OnProtocol(connection, header, body);
    if (connection.stage == CServerConnection::kLogin) {
        if (header.m_type == pktLogin)
            OnLogin(connection, body);
        return !connection.dead;
    }
    switch (header.m_type) {
    case pktSet:
        OnSettings(connection, body);
        break;
    case pktInfo:
        OnInfo(connection, body);
        break;
    case pktSearch:
        OnSearch(connection, body);
        break;
    case pktRequestNotify:
        OnRequestNotify(connection, body);
        break;
    case pktRequestForward:
        OnForward(connection, header, pktForward, payload, body.GetPosition32());
        break;
    case pktSendChat:
        if (payload.GetSize() > int(ServerLimits::kMaxChatPayload)) {
            std::string reason = "chat packet of " + std::to_string(payload.GetSize()) + " bytes refused";
            Kick(connection, reason.c_str(), "<p>Your program sent a chat line longer than this server takes.</p>");
            break;
        }
        OnForward(connection, header, pktChat, payload, body.GetPosition32());
        break;
    case pktCloseConnection:
        OnCloseConnection(connection, header);
        break;
    default:
        break; // keep-alives and what this server does not offer
    }
    return !connection.dead && connection.stage != CServerConnection::kClosing;
}

bool CGridmoorServer::OnProtocol(CServerConnection& connection, const CPacketHeader& header, CFile& body)
{
    std::string version = header.m_type == pktProtocol ? NextLine(body) : std::string();
    if (version != kProtocolVersion) {
        std::string reason = header.m_type == pktProtocol ? "protocol " + LogText(version) + " refused"
                                                           : std::string("no protocol packet");
        Kick(connection, reason.c_str(),
             "<p>Your program speaks another version of the Gridmoor protocol than this server (2).</p>");
        return false;
    }
    connection.stage = CServerConnection::kLogin;
    return true;
}

void CGridmoorServer::OnLogin(CServerConnection& connection, CFile& body)
{
    // Every client logs in with the same account and password; the
    // player's name comes with its settings.
    NextLine(body);
    NextLine(body);
    std::string program = NextLine(body);
    connection.id = NextId();
    m_byId[connection.id] = &connection;
    connection.stage = CServerConnection::kLoggedIn;
    Settled(connection);
    ServerLog("login %u from %s (%s)", connection.id, connection.address.c_str(), LogText(program).c_str());
    // The id first: the client's first settings packet already carries it.
    Send(connection, pktId, connection.id);
    Send(connection, pktLoggedInOK, 0);
    if (!m_motd.empty())
        Send(connection, pktAdminMessage, 0, m_motd.data(), m_motd.size());
}

void CGridmoorServer::OnSettings(CServerConnection& connection, CFile& body)
{
    connection.lastSettings = ReadSettingsBody(body);
    MergeSettings(connection.profile, connection.lastSettings);
    NoteName(connection);
}

void CGridmoorServer::NoteName(CServerConnection& connection)
{
    std::string name = NameOf(connection);
    if (name == connection.name)
        return;
    ServerLog("player %s is now \"%s\"", LogLabel(connection).c_str(), name.c_str());
    connection.name = name;
}

void CGridmoorServer::OnInfo(CServerConnection& connection, CFile& body)
{
    MergeSettings(connection.info, ReadSettingsBody(body));
}

void CGridmoorServer::OnSearch(CServerConnection& connection, CFile& body)
{
    SSearchRequest request = ReadSearchBody(body);
    if (request.cancel) {
        m_pool.Remove(connection.id);
        return;
    }
    SPooledSearch search;
    search.owner = connection.id;
    search.settings = connection.lastSettings;
    search.terms = ReadSearchTerms(search.settings);
    search.excluded = request.excluded;
    search.deadline = m_now + int64_t(request.ttl) * 1000;
    Send(connection, pktSearching, 0);
    std::optional<SPooledSearch> found = m_pool.Add(search);
    if (!found) {
        NotifySearchStarted(connection);
        return;
    }
    CServerConnection* waiting = Find(found->owner);
    if (!waiting) {
        // Cannot happen: a player who leaves is taken out of the pool.
        m_pool.Remove(connection.id);
        return;
    }
    OnMatch(*waiting, *found, connection, search);
}

void CGridmoorServer::OnMatch(CServerConnection& waiting, const SPooledSearch& waited, CServerConnection& newcomer,
                              const SPooledSearch& search)
{
    Link(waiting, newcomer);
    ServerLog("match %u (%s) with %u (%s)", waiting.id, NameOf(waiting).c_str(), newcomer.id,
              NameOf(newcomer).c_str());
    // The player who waited longer proposes the game.
    auto tell = [this](CServerConnection& to, bool first, uint32_t peer, const TSettings& settings) {
        std::vector<std::string> lines = {first ? "first=yes" : "first=no", "id=" + std::to_string(peer), "begin"};
        for (const SSetting& pair : settings) {
            lines.push_back(pair.key);
            lines.push_back(pair.value);
        }
        SendLines(to, pktSearchMatch, peer, lines);
    };
    tell(waiting, true, newcomer.id, search.settings);
    tell(newcomer, false, waiting.id, waited.settings);
}

void CGridmoorServer::OnRequestNotify(CServerConnection& connection, CFile& body)
{
    connection.notifyAvoid = ReadNotifyAvoid(body);
    if (connection.notifyArmed)
        return;
    connection.notifyArmed = true;
    m_notifyArmed.push_back(connection.id);
    // Players who left while armed stay listed until someone searches;
    // forget them before the list outgrows the players.
    if (m_notifyArmed.size() > 2 * m_byId.size() + 64) {
        auto gone = [this](uint32_t id) {
            const CServerConnection* armed = Find(id);
            return !armed || !armed->notifyArmed;
        };
        m_notifyArmed.erase(std::remove_if(m_notifyArmed.begin(), m_notifyArmed.end(), gone), m_notifyArmed.end());
    }
}

void CGridmoorServer::NotifySearchStarted(const CServerConnection& searcher)
{
    std::vector<uint32_t> still;
    for (uint32_t id : m_notifyArmed) {
        CServerConnection* armed = Find(id);
        if (!armed || !armed->notifyArmed)
            continue;
        if (id == searcher.id || armed->notifyAvoid == searcher.id) {
            still.push_back(id);
            continue;
        }
        armed->notifyArmed = false;
        Send(*armed, pktNotify, 0);
    }
    m_notifyArmed.swap(still);
}

void CGridmoorServer::OnForward(CServerConnection& connection, const CPacketHeader& header, uint32_t notice,
                                const CBuffer& payload, unsigned bodyStart)
{
    uint32_t to = header.HasId() ? header.m_id : connection.peer;
    CServerConnection* peer = connection.peer && to == connection.peer ? connection.link : nullptr;
    if (!peer || peer->dead) {
        // Chat to nobody is dropped; a game message is answered.
        if (notice == pktForward)
            Send(connection, pktConnectFailed, to);
        return;
    }
    connection.linkCarried = peer->linkCarried = true;
    const unsigned size = unsigned(payload.GetSize());
    Send(*peer, notice, connection.id, payload.GetData() + bodyStart, bodyStart < size ? size - bodyStart : 0,
         &connection);
}

void CGridmoorServer::OnCloseConnection(CServerConnection& connection, const CPacketHeader& header)
{
    if (connection.peer && (!header.HasId() || header.m_id == connection.peer))
        Unlink(connection, pktConnectionClosed);
}

void CGridmoorServer::ExpireSearches()
{
    for (uint32_t owner : m_pool.Expire(m_now)) {
        const CServerConnection* searcher = Find(owner);
        ServerLog("search of %s expired", searcher ? LogLabel(*searcher).c_str() : std::to_string(owner).c_str());
    }
}
