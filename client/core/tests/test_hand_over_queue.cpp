// The order in which hand-overs of other starts are carried out: all of
// them, in the order they came, none before the start-up is done, none
// while something modal is open, and never one inside another.

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "client/core/HandOverQueue.h"

using Zorlin::CString;

namespace {

// The toolkit's part: calls asked for soon run in order from a fresh
// stack, calls asked for later run when the test lets time pass.
class CQueueUnderTest {
public:
    CQueueUnderTest()
        : queue(CHandOverQueue::SHooks{[this] { return busy; },
                                       [this](const CHandOverQueue::Files& files) { CarryOut(files); },
                                       [this](const CHandOverQueue::Files& files) {
                                           waited.push_back(files.empty() ? "" : files[0].GetText());
                                       },
                                       [this](bool later) { (later ? laterCalls : soonCalls) += 1; }})
    {
    }

    // Runs the calls asked for soon, as the event loop would, until none is left.
    void RunSoon()
    {
        for (int guard = 0; soonCalls > 0 && guard < 1000; ++guard) {
            --soonCalls;
            queue.Pump();
        }
    }
    // The retry timer fires.
    void RunLater()
    {
        if (laterCalls > 0) {
            laterCalls = 0;
            queue.Pump();
        }
        RunSoon();
    }
    static CHandOverQueue::Files Files(std::initializer_list<const char*> names)
    {
        CHandOverQueue::Files files;
        for (const char* name : names)
            files.push_back(CString(name));
        return files;
    }

    CHandOverQueue queue;
    bool busy = false;
    int soonCalls = 0;
    int laterCalls = 0;
    std::vector<std::string> carried;
    std::vector<std::string> waited;
    // Runs while a hand-over is carried out, as its question's loop would.
    std::function<void()> during;

private:
    void CarryOut(const CHandOverQueue::Files& files)
    {
        carried.push_back(files.empty() ? "(raise)" : files[0].GetText());
        EXPECT_TRUE(queue.IsCarryingOut());
        if (during) {
            std::function<void()> once;
            once.swap(during);
            once();
        }
    }
};

TEST(HandOverQueue, EveryHandOverOfTheStartUpIsCarriedOutAfterItInOrder)
{
    CQueueUnderTest test;
    test.queue.Add(CQueueUnderTest::Files({"/a.pgn", "/ignored.pgn"}));
    test.queue.Add(CQueueUnderTest::Files({}));
    test.queue.Add(CQueueUnderTest::Files({"/b.rwg"}));
    test.queue.Pump();
    test.RunSoon();
    EXPECT_TRUE(test.carried.empty()) << "nothing before the start-up is done";
    EXPECT_EQ(test.queue.GetCount(), 3u);

    test.queue.Open();
    test.RunSoon();
    EXPECT_EQ(test.carried, (std::vector<std::string>{"/a.pgn", "(raise)", "/b.rwg"}));
    EXPECT_EQ(test.queue.GetCount(), 0u);
    EXPECT_FALSE(test.queue.IsCarryingOut());

    test.queue.Add(CQueueUnderTest::Files({"/c.pgn"}));
    test.RunSoon();
    EXPECT_EQ(test.carried.back(), "/c.pgn");
    EXPECT_TRUE(test.waited.empty());
}

TEST(HandOverQueue, AHandOverWaitsForWhatIsModalAndTellsSoOnce)
{
    CQueueUnderTest test;
    test.queue.Open();
    test.busy = true;
    test.queue.Add(CQueueUnderTest::Files({"/a.pgn"}));
    test.queue.Add(CQueueUnderTest::Files({"/b.pgn"}));
    test.RunSoon();
    test.RunLater();
    test.RunLater();
    EXPECT_TRUE(test.carried.empty());
    EXPECT_EQ(test.waited, std::vector<std::string>{"/a.pgn"});
    EXPECT_EQ(test.laterCalls, 1) << "it looks again later";

    test.busy = false;
    test.RunLater();
    EXPECT_EQ(test.carried, (std::vector<std::string>{"/a.pgn", "/b.pgn"}));
    EXPECT_EQ(test.laterCalls, 0);
}

TEST(HandOverQueue, OneThatComesDuringAnothersQuestionWaitsForItsEnd)
{
    CQueueUnderTest test;
    test.queue.Open();
    // The first one's question is open: the loop it runs delivers the next
    // hand-over and the calls asked for meanwhile.
    test.during = [&] {
        test.queue.Add(CQueueUnderTest::Files({"/second.pgn"}));
        test.RunSoon();
        test.queue.Pump();
        EXPECT_EQ(test.carried, std::vector<std::string>{"/first.pgn"}) << "not inside the first";
    };
    test.queue.Add(CQueueUnderTest::Files({"/first.pgn"}));
    test.RunSoon();
    EXPECT_EQ(test.carried, (std::vector<std::string>{"/first.pgn", "/second.pgn"}));
    EXPECT_FALSE(test.queue.IsCarryingOut());
}

TEST(HandOverQueue, AHandOverThatThrowsLeavesTheQueueWorking)
{
    CQueueUnderTest test;
    test.queue.Open();
    test.during = [] { throw 1; };
    test.queue.Add(CQueueUnderTest::Files({"/throws.pgn"}));
    EXPECT_ANY_THROW(test.queue.Pump());
    EXPECT_FALSE(test.queue.IsCarryingOut());
    test.queue.Add(CQueueUnderTest::Files({"/next.pgn"}));
    test.RunSoon();
    EXPECT_EQ(test.carried.back(), "/next.pgn");
}

} // namespace
