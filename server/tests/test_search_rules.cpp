// Reading what players send about their searches, and who may meet whom.
#include <gtest/gtest.h>

#include <string>

#include "foundation/Buffer.h"
#include "foundation/BufferFile.h"
#include "server/SearchPool.h"
#include "server/SearchTerms.h"

using Zorlin::CBuffer;
using Zorlin::CBufferFile;

namespace {

// A body as the server's packet reader sees it: a file over the bytes.
struct SBody {
    explicit SBody(const std::string& text)
    {
        buffer.Resize(int(text.size()));
        if (!text.empty())
            buffer.WriteAt(text.data(), int(text.size()), 0);
        file.SetBuffer(&buffer);
    }
    CBuffer buffer;
    CBufferFile file;
};

SSearchTerms Terms(bool untimed, bool timed, int low, int high, ESide side)
{
    SSearchTerms terms;
    terms.untimed = untimed;
    terms.timed = timed;
    terms.low = low;
    terms.high = high;
    terms.side = side;
    return terms;
}

SPooledSearch Search(uint32_t owner, SSearchTerms terms = SSearchTerms(), std::vector<uint32_t> excluded = {},
                     int64_t deadline = 60000)
{
    SPooledSearch search;
    search.owner = owner;
    search.terms = terms;
    search.excluded = excluded;
    search.deadline = deadline;
    return search;
}

} // namespace

TEST(SearchTerms, SettingsAsTheClientSendsThem)
{
    SBody body("begin\nrw.untimed\nno\nrw.timed\nYes\nrw.time.min\nyes\nrw.time.max\nno\n"
               "rw.time.low\n300\nrw.time.high\n5940\nrw.skill\nexpert\nrw.side\nblack\nid\n17\n");
    TSettings settings = ReadSettingsBody(body.file);
    ASSERT_EQ(settings.size(), 9u);
    EXPECT_EQ(settings[0].key, "rw.untimed");
    EXPECT_EQ(settings[8].value, "17");
    SSearchTerms terms = ReadSearchTerms(settings);
    EXPECT_FALSE(terms.untimed);
    EXPECT_TRUE(terms.timed);
    EXPECT_EQ(terms.low, 300);
    EXPECT_EQ(terms.high, 5940);
    EXPECT_EQ(terms.side, ESide::kBlack);
}

TEST(SearchTerms, MissingAndDamagedValuesReadAsTheDefaults)
{
    SBody body("begin\nrw.time.low\n-5\nrw.time.high\n12abc\nrw.side\nwhite black\nodd key\n");
    SSearchTerms terms = ReadSearchTerms(ReadSettingsBody(body.file));
    EXPECT_TRUE(terms.untimed);
    EXPECT_TRUE(terms.timed);
    EXPECT_EQ(terms.low, 60);
    EXPECT_EQ(terms.high, 5940);
    EXPECT_EQ(terms.side, ESide::kEither);
    // A colour word the client reads as single and not white is black.
    SBody other("begin\nrw.side\n\n");
    EXPECT_EQ(ReadSearchTerms(ReadSettingsBody(other.file)).side, ESide::kBlack);
}

TEST(SearchTerms, StrangersCannotMakeTheServerKeepMuch)
{
    std::string text = "begin\n";
    for (int i = 0; i < 1000; ++i)
        text += "key" + std::to_string(i) + "\n" + std::string(5000, 'v') + "\n";
    SBody body(text);
    TSettings settings = ReadSettingsBody(body.file);
    ASSERT_EQ(settings.size(), SearchLimits::kMaxSettings);
    // Long lines are cut, and the pairs after them stay in step.
    EXPECT_EQ(settings[1].key, "key1");
    EXPECT_LE(settings[1].value.size(), 1024u);
}

TEST(SearchTerms, SearchRequestsCancelsAndNotifications)
{
    SBody request("id=search1\nttl=45\nbegin\nid != 12\nid!=13\nid != 0\nid != x\nname != 14\n");
    SSearchRequest search = ReadSearchBody(request.file);
    EXPECT_FALSE(search.cancel);
    EXPECT_EQ(search.ttl, 45);
    EXPECT_EQ(search.excluded, (std::vector<uint32_t>{12, 13}));

    SBody cancel("id=search1\ncancel\n");
    EXPECT_TRUE(ReadSearchBody(cancel.file).cancel);

    SBody unbounded("ttl=999999\nbegin\n");
    EXPECT_EQ(ReadSearchBody(unbounded.file).ttl, SearchLimits::kDefaultTtl);
    std::string many = "begin\n";
    for (int i = 1; i <= 100; ++i)
        many += "id != " + std::to_string(i) + "\n";
    SBody manyBody(many);
    EXPECT_EQ(ReadSearchBody(manyBody.file).excluded.size(), SearchLimits::kMaxExcluded);

    SBody notify("avoid=42\nfree search\n");
    EXPECT_EQ(ReadNotifyAvoid(notify.file), 42u);
    SBody plain("free search\n");
    EXPECT_EQ(ReadNotifyAvoid(plain.file), 0u);
}

TEST(MatchRules, ClockAndColour)
{
    const SSearchTerms either = Terms(true, true, 60, 5940, ESide::kEither);
    const SSearchTerms untimedOnly = Terms(true, false, 60, 5940, ESide::kEither);
    const SSearchTerms timedOnly = Terms(false, true, 60, 5940, ESide::kEither);
    EXPECT_TRUE(AreCompatible(either, either));
    EXPECT_TRUE(AreCompatible(untimedOnly, either));
    EXPECT_TRUE(AreCompatible(timedOnly, either));
    EXPECT_FALSE(AreCompatible(untimedOnly, timedOnly));
    EXPECT_FALSE(AreCompatible(timedOnly, untimedOnly));

    // Timed ranges must overlap; touching counts.
    EXPECT_TRUE(AreCompatible(Terms(false, true, 300, 600, ESide::kEither), Terms(false, true, 600, 900, ESide::kEither)));
    EXPECT_FALSE(AreCompatible(Terms(false, true, 300, 599, ESide::kEither), Terms(false, true, 600, 900, ESide::kEither)));
    // Both untimed meet whatever their time ranges.
    EXPECT_TRUE(AreCompatible(Terms(true, true, 60, 120, ESide::kEither), Terms(true, true, 3000, 3600, ESide::kEither)));

    const SSearchTerms white = Terms(true, true, 60, 5940, ESide::kWhite);
    const SSearchTerms black = Terms(true, true, 60, 5940, ESide::kBlack);
    EXPECT_FALSE(AreCompatible(white, white));
    EXPECT_FALSE(AreCompatible(black, black));
    EXPECT_TRUE(AreCompatible(white, black));
    EXPECT_TRUE(AreCompatible(white, either));
    EXPECT_TRUE(AreCompatible(either, black));
}

TEST(SearchPool, OldestCompatibleIsTaken)
{
    CSearchPool pool;
    EXPECT_FALSE(pool.Add(Search(1, Terms(true, false, 60, 5940, ESide::kWhite))));
    EXPECT_FALSE(pool.Add(Search(2, Terms(false, true, 600, 900, ESide::kEither))));
    EXPECT_FALSE(pool.Add(Search(3, Terms(true, true, 60, 300, ESide::kWhite))));
    EXPECT_EQ(pool.GetCount(), 3u);

    // Timed only: 1 is untimed only, so 2 is the oldest it meets, before 3.
    std::optional<SPooledSearch> found = pool.Add(Search(4, Terms(false, true, 60, 5940, ESide::kEither)));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->owner, 2u);
    EXPECT_FALSE(pool.Contains(2));
    EXPECT_FALSE(pool.Contains(4));
    found = pool.Add(Search(5, Terms(true, true, 60, 5940, ESide::kBlack)));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->owner, 1u);
    EXPECT_EQ(pool.GetCount(), 1u);
}

TEST(SearchPool, ExclusionsHoldBothWays)
{
    CSearchPool pool;
    EXPECT_FALSE(pool.Add(Search(10)));
    EXPECT_FALSE(pool.Add(Search(11, SSearchTerms(), {10})));
    EXPECT_TRUE(pool.Remove(11));
    EXPECT_FALSE(pool.Remove(11));
    // A waiting search that excludes the newcomer is passed over.
    EXPECT_TRUE(pool.Remove(10));
    EXPECT_FALSE(pool.Add(Search(20, SSearchTerms(), {21})));
    EXPECT_FALSE(pool.Add(Search(21)));
    std::optional<SPooledSearch> found = pool.Add(Search(22));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->owner, 20u);
    EXPECT_TRUE(pool.Contains(21));
}

TEST(SearchPool, NewSearchReplacesTheOwnersEarlierOneAndDeadlinesExpire)
{
    CSearchPool pool;
    EXPECT_FALSE(pool.Add(Search(1, SSearchTerms(), {}, 1000)));
    // The same player searching again never meets itself.
    EXPECT_FALSE(pool.Add(Search(1, SSearchTerms(), {}, 5000)));
    EXPECT_EQ(pool.GetCount(), 1u);
    EXPECT_FALSE(pool.Add(Search(2, Terms(true, true, 60, 5940, ESide::kEither), {1}, 2000)));
    EXPECT_TRUE(pool.Expire(1999).empty());
    EXPECT_EQ(pool.Expire(2000), (std::vector<uint32_t>{2}));
    EXPECT_EQ(pool.Expire(10000), (std::vector<uint32_t>{1}));
    EXPECT_EQ(pool.GetCount(), 0u);
    EXPECT_FALSE(pool.Contains(1));
}
