#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "foundation/Array.h"
#include "foundation/AssocArray.h"
#include "foundation/AutoPointer.h"

using namespace Zorlin;

static_assert(!std::is_copy_constructible_v<CAutoPointer<int>>, "owning pointers move, never copy");
static_assert(!std::is_copy_assignable_v<CAutoPointer<int>>, "owning pointers move, never copy");
static_assert(!std::is_copy_constructible_v<CAutoArrayPointer<char>>, "owning pointers move, never copy");
static_assert(!std::is_copy_assignable_v<CAutoArrayPointer<char>>, "owning pointers move, never copy");
static_assert(std::is_nothrow_move_constructible_v<CAutoPointer<int>>, "containers move them on growth");
static_assert(std::is_copy_constructible_v<CNullPointer<int>>, "plain pointers copy");

// Adding a named owning pointer to an array must say std::move.
template <class A, class V, class = void>
struct SCanAdd : std::false_type {};
template <class A, class V>
struct SCanAdd<A, V, std::void_t<decltype(std::declval<A&>().Add(std::declval<V>()))>> : std::true_type {};
static_assert(!SCanAdd<CArray<CAutoPointer<int>>, CAutoPointer<int>&>::value, "no silent transfer");
static_assert(SCanAdd<CArray<CAutoPointer<int>>, CAutoPointer<int>&&>::value, "explicit transfer");
static_assert(SCanAdd<CArray<CString>, CString&>::value, "copyable elements add by copy");

namespace {

std::string LowerAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return text;
}

// Keys from a small alphabet so that case variants and repeats are common;
// includes bytes above 0x7f, which must never fold.
std::string RandomKey(std::mt19937& rng)
{
    static const char alphabet[] = {'a', 'A', 'b', 'B', 'z', 'Z', '_', '1', '\xc4', '\xe4', '['};
    std::string key;
    int length = int(rng() % 4);
    for (int i = 0; i < length; ++i)
        key += alphabet[rng() % sizeof(alphabet)];
    return key;
}

// The oracle: entries by lower-cased key, remembering the first spelling and
// the insertion order.
struct SModel {
    std::map<std::string, size_t> index;
    std::vector<std::pair<std::string, int>> entries;

    int& At(const std::string& key)
    {
        auto found = index.find(LowerAscii(key));
        if (found != index.end())
            return entries[found->second].second;
        index[LowerAscii(key)] = entries.size();
        entries.push_back({key, 0});
        return entries.back().second;
    }
    const int* Find(const std::string& key) const
    {
        auto found = index.find(LowerAscii(key));
        return found == index.end() ? nullptr : &entries[found->second].second;
    }
};

template <class TMap>
void ExpectSameAsModel(const TMap& map, const SModel& model)
{
    ASSERT_EQ(map.GetCount(), int(model.entries.size()));
    size_t i = 0;
    map.ForEach([&](const CString& key, const int& value) {
        ASSERT_LT(i, model.entries.size());
        EXPECT_EQ(std::string(key.GetText(), size_t(key.GetLength())), model.entries[i].first);
        EXPECT_EQ(value, model.entries[i].second);
        ++i;
    });
    EXPECT_EQ(i, model.entries.size());
    // The value list runs in the same order as the node list.
    const auto* valueNode = map.GetValueList().GetHead();
    for (const auto* node = map.GetNodeList().GetHead(); node; node = node->next, valueNode = valueNode->next) {
        ASSERT_NE(valueNode, nullptr);
        EXPECT_EQ(node->value.value, &valueNode->value);
    }
}

} // namespace

TEST(AssocArrayTest, RandomOperationsMatchLowerCasedMap)
{
    for (int cacheBits : {0, 3, 10}) {
        std::mt19937 rng(31 + cacheBits);
        CAssocArray<int> map(2, cacheBits);
        SModel model;
        for (int step = 0; step < 4000; ++step) {
            std::string key = RandomKey(rng);
            int op = int(rng() % 8);
            if (op < 3) {
                int delta = int(rng() % 100);
                map[key.c_str()] += delta;
                model.At(key) += delta;
            } else if (op == 3) {
                CString text(key.c_str());
                *map.FindOrAdd(text, HashStringNoCase(key.c_str())) += 1;
                model.At(key) += 1;
            } else if (op == 4) {
                const CAssocArray<int>& constant = map;
                const int* found = constant.Find(key.c_str());
                const int* expected = model.Find(key);
                ASSERT_EQ(found == nullptr, expected == nullptr) << key;
                if (found) {
                    ASSERT_EQ(*found, *expected);
                }
            } else if (op == 5) {
                CString text(key.c_str());
                CAssocArray<int>::SNode* node = nullptr;
                bool present = map.FindNode(text, HashStringNoCase(key.c_str()), node);
                ASSERT_EQ(present, model.Find(key) != nullptr);
                if (!present) {
                    *map.InsertNode(node, text, HashStringNoCase(key.c_str()))->value = 5;
                    model.At(key) = 5;
                }
            } else if (op == 6 && step % 97 == 0) {
                CAssocArray<int> copy(map);
                ExpectSameAsModel(copy, model);
                CAssocArray<int> assigned(3, 1);
                assigned["junk"] = 1;
                assigned = map;
                ExpectSameAsModel(assigned, model);
            } else if (rng() % 300 == 0) {
                map.RemoveAll();
                model = SModel();
            }
            if (step % 25 == 0)
                ExpectSameAsModel(map, model);
        }
        ExpectSameAsModel(map, model);
    }
}

TEST(AssocArrayTest, CaseVariantsNameOneEntryKeepingTheFirstSpelling)
{
    CAssocArray<CString> map;
    map["Key"] = "one";
    map["KEY"].Append("+two");
    EXPECT_EQ(map["key"], "one+two");
    ASSERT_EQ(map.GetCount(), 1);
    EXPECT_EQ(map.GetNodeList().GetHead()->value.key, "Key");

    // Reading a missing key adds it, empty and last.
    EXPECT_TRUE(map["missing"].IsEmpty());
    EXPECT_EQ(map.GetCount(), 2);
    EXPECT_EQ(map.GetNodeList().GetTail()->value.key, "missing");

    // The empty key is a key like any other.
    map[""] = "blank";
    EXPECT_EQ(map[""], "blank");
    EXPECT_EQ(map.GetCount(), 3);
    ASSERT_NE(map.Find(""), nullptr);
    EXPECT_EQ(map.Find("nothing"), nullptr);
    EXPECT_EQ(map.GetCount(), 3);
}

TEST(AssocArrayTest, HashValuesAreFixed)
{
    EXPECT_EQ(HashStringNoCase(""), 5381u);
    EXPECT_EQ(HashStringNoCase("abc"), 193485963u);
    EXPECT_EQ(HashStringNoCase("ABC"), 193485963u);
    EXPECT_EQ(HashStringNoCase("aBc"), HashString("abc"));
    // Bytes above 0x7f count as signed values and are not lowered.
    EXPECT_EQ(HashStringNoCase("\xc4"), 5381u * 33u - 60u);
    EXPECT_EQ(HashString("\xff"), 5381u * 33u - 1u);
    EXPECT_NE(HashStringNoCase("\xc4"), HashStringNoCase("\xe4"));
    EXPECT_NE(HashString("K"), HashString("k"));
}

TEST(AssocArrayTest, HighBytesAreNeitherFoldedNorLost)
{
    CAssocArray<int> map;
    map["\xc4pfel"] = 1;
    map["\xe4pfel"] = 2;
    map["\xc4PFEL"] += 10;
    EXPECT_EQ(map.GetCount(), 2);
    EXPECT_EQ(map["\xc4pfel"], 11);
    EXPECT_EQ(map["\xe4Pfel"], 2);
    EXPECT_FALSE(CAssocArray<int>::KeysEqualNoCase(CString("\xc4"), CString("\xe4")));
    EXPECT_TRUE(CAssocArray<int>::KeysEqualNoCase(CString("Ab["), CString("aB[")));
    EXPECT_FALSE(CAssocArray<int>::KeysEqualNoCase(CString("ab"), CString("abc")));
    EXPECT_TRUE(CAssocArray<int>::KeysEqualNoCase(CString(), CString("")));
}

TEST(AssocArrayTest, KeysSharingAHashAreAllFound)
{
    // djb2: '1' * 33 + 'a' == '2' * 33 + '@' == '3' * 33 + 0x1f.
    const char* keys[] = {"1a", "2@", "3\x1f"};
    ASSERT_EQ(HashStringNoCase(keys[0]), HashStringNoCase(keys[1]));
    ASSERT_EQ(HashStringNoCase(keys[0]), HashStringNoCase(keys[2]));
    CAssocArray<int> map(10, 4);
    for (int i = 0; i < 3; ++i)
        map[keys[i]] = i + 1;
    ASSERT_EQ(map.GetCount(), 3);
    // They share one cache slot: alternating lookups must fall back to the tree.
    for (int round = 0; round < 3; ++round) {
        for (int i = 2; i >= 0; --i)
            ASSERT_EQ(map[keys[i]], i + 1);
    }
    EXPECT_EQ(map.GetCount(), 3);
}

TEST(AssocArrayTest, CaseSensitiveVariantKeepsCaseVariantsApart)
{
    CCaseAssocArray<int> counts;
    counts["K"] += 1;
    counts["k"] += 1;
    counts["K"] += 1;
    EXPECT_EQ(counts.GetCount(), 2);
    EXPECT_EQ(counts["K"], 2);
    EXPECT_EQ(counts["k"], 1);
    EXPECT_EQ(counts.Find("x"), nullptr);
    CCaseAssocArray<int> copy(counts);
    EXPECT_EQ(copy["K"], 2);
}

TEST(AssocArrayTest, CopiesAreDeepAndKeepTheOrder)
{
    CAssocArray<CAssocArray<CString>> frames(4, 2);
    frames["Window"]["Width"] = "640";
    frames["Window"]["Height"] = "480";
    frames["Sound"]["Volume"] = "7";
    frames["Board"]["Theme"] = "wood";

    CAssocArray<CAssocArray<CString>> copy(frames);
    std::vector<std::string> order;
    copy.ForEach([&](const CString& key, const CAssocArray<CString>&) { order.push_back(key.GetText()); });
    EXPECT_EQ(order, (std::vector<std::string>{"Window", "Sound", "Board"}));
    EXPECT_EQ(copy["window"]["height"], "480");
    EXPECT_EQ(copy.GetCacheSize(), 256);

    copy["Window"]["Width"] = "800";
    copy["Window"]["Depth"] = "32";
    EXPECT_EQ(frames["Window"]["Width"], "640");
    EXPECT_EQ(frames["Window"].GetCount(), 2);

    // Assigning a dictionary from one that lives inside it.
    CAssocArray<CAssocArray<CString>>& self = frames;
    frames = self;
    EXPECT_EQ(frames.GetCount(), 3);
    frames["Window"] = frames["Sound"];
    EXPECT_EQ(frames["Window"]["volume"], "7");
    EXPECT_EQ(frames["Window"].GetCount(), 1);
}

TEST(AssocArrayTest, ValuePointersStayValidWhileTheDictionaryGrows)
{
    CAssocArray<CString> map(1, 2);
    std::vector<CString*> pointers;
    for (int i = 0; i < 500; ++i) {
        std::string key = "key" + std::to_string(i);
        CString& value = map[key.c_str()];
        value = key.c_str();
        pointers.push_back(&value);
    }
    for (int i = 0; i < 500; ++i) {
        std::string key = "KEY" + std::to_string(i);
        ASSERT_EQ(&map[key.c_str()], pointers[size_t(i)]);
        ASSERT_EQ(std::string(pointers[size_t(i)]->GetText()), "key" + std::to_string(i));
    }
    map.RemoveAll();
    EXPECT_EQ(map.GetCount(), 0);
    EXPECT_EQ(map.Find("key1"), nullptr);
    map["again"] = "x";
    EXPECT_EQ(map.GetCount(), 1);
}

// ---- Owning pointers ----

namespace {

struct SBase {
    static int s_live;
    SBase() { ++s_live; }
    virtual ~SBase() { --s_live; }
};
int SBase::s_live = 0;

struct SDerived : SBase {
    std::vector<int> payload = std::vector<int>(16, 1);
};

} // namespace

TEST(AutoPointerTest, OwnershipMovesExplicitly)
{
    {
        CAutoPointer<SBase> first(new SDerived);
        CAutoPointer<SBase> second(std::move(first));
        EXPECT_TRUE(first.IsNull());
        EXPECT_FALSE(second.IsNull());
        EXPECT_EQ(SBase::s_live, 1);
        first = std::move(second);
        EXPECT_TRUE(second.IsNull());
        CAutoPointer<SBase>& alias = first;
        first = std::move(alias);
        EXPECT_FALSE(first.IsNull());
        EXPECT_EQ(SBase::s_live, 1);
        first.Reset(new SDerived); // deletes the old one through its virtual destructor
        EXPECT_EQ(SBase::s_live, 1);
        SBase* raw = first.Release();
        EXPECT_TRUE(first.IsNull());
        delete raw;
        first.Delete(); // empty: nothing happens
    }
    EXPECT_EQ(SBase::s_live, 0);

    CAutoArrayPointer<unsigned char> bytes(new unsigned char[32]);
    CAutoArrayPointer<unsigned char> taken(std::move(bytes));
    EXPECT_TRUE(bytes.IsNull());
    taken[31] = 9;
    EXPECT_EQ(taken.Get()[31], 9);

    CNullPointer<unsigned char> plain;
    EXPECT_TRUE(plain.IsNull());
    plain = taken.Get();
    CNullPointer<unsigned char> other = plain;
    EXPECT_EQ(other.Get(), taken.Get());
}

TEST(AutoPointerTest, ArraysOfOwningPointersMoveOnGrowth)
{
    {
        CArray<CAutoPointer<SBase>> codecs(1, 1);
        std::vector<SBase*> raw;
        for (int i = 0; i < 20; ++i) {
            CAutoPointer<SBase> codec(new SDerived);
            raw.push_back(codec.Get());
            codecs.Add(std::move(codec));
            EXPECT_TRUE(codec.IsNull()); // the array took it
        }
        EXPECT_EQ(SBase::s_live, 20);
        for (int i = 0; i < 20; ++i)
            ASSERT_EQ(codecs.GetAt(i)->Get(), raw[size_t(i)]);
        codecs.AddNew();
        EXPECT_TRUE(codecs.GetAt(-1)->IsNull());
        codecs.SetSize(5);
        EXPECT_EQ(SBase::s_live, 5);

        CArray<CAutoPointer<SBase>> moved(std::move(codecs));
        EXPECT_EQ(codecs.GetCount(), 0);
        EXPECT_EQ(moved.GetCount(), 5);
        EXPECT_EQ(SBase::s_live, 5);
    }
    EXPECT_EQ(SBase::s_live, 0);
}

TEST(AutoPointerTest, GetOrCreateAndRenew)
{
    CAutoPointer<int> counter;
    EXPECT_EQ(*counter.GetOrCreate(), 0);
    *counter.GetOrCreate() += 3;
    EXPECT_EQ(*counter, 3);

    CAutoPointer<CAssocArray<int>> list;
    CAssocArray<int>* first = list.Renew();
    (*first)["a"] = 1;
    CAssocArray<int>* second = list.Renew();
    EXPECT_EQ(second->GetCount(), 0);
    EXPECT_EQ(list.Get(), second);
}

TEST(AssocArrayTest, ManyKeysOfOneHashStayApartAndFound)
{
    // Blocks of equal length and equal hash make longer keys of equal hash:
    // 2^14 keys that all share one djb2 hash, as a hostile file can hold.
    const char* blocks[] = {"1a", "2@"};
    std::vector<std::string> keys;
    for (int n = 0; n < (1 << 14); ++n) {
        std::string key;
        for (int bit = 0; bit < 14; ++bit)
            key += blocks[(n >> bit) & 1];
        keys.push_back(key);
    }
    ASSERT_EQ(HashStringNoCase(keys.front().c_str()), HashStringNoCase(keys.back().c_str()));
    CAssocArray<int> map(100, 10);
    for (size_t i = 0; i < keys.size(); ++i)
        map[keys[i].c_str()] = int(i);
    ASSERT_EQ(map.GetCount(), int(keys.size()));
    EXPECT_GE(map.GetBucketCount(), map.GetCount());
    for (size_t i = 0; i < keys.size(); i += 7) {
        const int* found = map.Find(keys[i].c_str());
        ASSERT_NE(found, nullptr) << keys[i];
        EXPECT_EQ(*found, int(i));
    }
    map.RemoveAll();
    EXPECT_EQ(map.Find(keys[0].c_str()), nullptr);
    map[keys[1].c_str()] = 3;
    EXPECT_EQ(*map.Find(keys[1].c_str()), 3);
}
