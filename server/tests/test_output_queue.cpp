// A player's output queue counts each waiting byte to the player whose
// message it carries, however the socket takes the bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "server/ServerConnection.h"

namespace {

struct SSent {
    uint32_t sender;
    size_t bytes;
};

// The waiting bytes per sender worked out from the packets and the count taken.
size_t Expected(const std::vector<SSent>& packets, size_t taken, uint32_t sender)
{
    size_t at = 0, waiting = 0;
    for (const SSent& packet : packets) {
        const size_t end = at + packet.bytes;
        if (packet.sender == sender && end > taken)
            waiting += end - std::max(at, taken);
        at = end;
    }
    return waiting;
}

} // namespace

TEST(OutputQueue, WaitingBytesAreCountedToTheirSenderThroughPartialSends)
{
    COutputQueue queue;
    const std::string body(3000, 'x');
    queue.AppendPacket(140, 7, body.data(), 100, 7); // 112 bytes with its header
    queue.AppendPacket(132, 0, nullptr, 0);          // 8: the server's own
    queue.AppendPacket(141, 7, body.data(), 50, 7);  // 62
    EXPECT_EQ(queue.GetSize(), 182u);
    EXPECT_EQ(queue.GetQueuedFrom(7), 174u);
    EXPECT_EQ(queue.GetOwnSize(), 8u);
    queue.Consume(100);
    EXPECT_EQ(queue.GetQueuedFrom(7), 74u);
    queue.Consume(16);
    EXPECT_EQ(queue.GetQueuedFrom(7), 62u);
    EXPECT_EQ(queue.GetOwnSize(), 4u);
    queue.Consume(66);
    EXPECT_TRUE(queue.IsEmpty());
    EXPECT_EQ(queue.GetQueuedFrom(7), 0u);
    EXPECT_EQ(queue.GetOwnSize(), 0u);

    // Three senders and the server, sent in random pieces.
    std::mt19937 random(20261209);
    std::vector<SSent> packets;
    size_t total = 0, taken = 0;
    for (int round = 0; round < 2000; ++round) {
        const uint32_t sender = uint32_t(random() % 4);
        const size_t size = random() % 3000;
        queue.AppendPacket(140, sender, body.data(), size, sender);
        const size_t bytes = 4 + (sender ? 8 : 4) + size;
        packets.push_back(SSent{ sender, bytes });
        total += bytes;
        const size_t piece = std::min<size_t>(random() % 5000, total - taken);
        queue.Consume(piece);
        taken += piece;
        ASSERT_EQ(queue.GetSize(), total - taken);
        for (uint32_t s = 1; s < 4; ++s)
            ASSERT_EQ(queue.GetQueuedFrom(s), Expected(packets, taken, s)) << "round " << round << " sender " << s;
        ASSERT_EQ(queue.GetOwnSize(), Expected(packets, taken, 0)) << "round " << round;
    }
}
