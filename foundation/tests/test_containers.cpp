#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/Array.h"
#include "foundation/FlexArray.h"
#include "foundation/Hash.h"
#include "foundation/List.h"
#include "foundation/String.h"

using namespace Zorlin;

namespace {

std::string RandomText(std::mt19937& rng)
{
    std::string text;
    int length = int(rng() % 12);
    for (int i = 0; i < length; ++i)
        text += char('a' + rng() % 26);
    return text;
}

template <class TArray>
void ExpectSameStrings(TArray& array, const std::vector<std::string>& expected)
{
    ASSERT_EQ(array.GetCount(), int(expected.size()));
    for (int i = 0; i < array.GetCount(); ++i)
        ASSERT_EQ(std::string(array.GetAt(i)->GetText()), expected[size_t(i)]) << "index " << i;
}

// Walks any container through the interface, forward with the postfix step.
template <class T>
std::vector<T> WalkForward(CContainer<T>& container)
{
    std::vector<T> seen;
    typename CContainer<T>::SIterator it(container);
    while (T* element = it++)
        seen.push_back(*element);
    return seen;
}

template <class T>
std::vector<T> WalkBackward(CContainer<T>& container)
{
    std::vector<T> seen;
    typename CContainer<T>::SIterator* it = container.NewIterator();
    container.IterLast(*it);
    while (T* element = container.IterPrev(*it))
        seen.push_back(*element);
    delete it;
    return seen;
}

// Counts live instances so leaks and double destruction show up.
struct SCounted {
    static int s_live;
    int value;
    SCounted() : value(0) { ++s_live; }
    explicit SCounted(int v) : value(v) { ++s_live; }
    SCounted(const SCounted& other) : value(other.value) { ++s_live; }
    SCounted& operator=(const SCounted&) = default;
    ~SCounted() { --s_live; }
};
int SCounted::s_live = 0;

} // namespace

// ---- CArray ----

TEST(ArrayTest, RandomOperationsMatchVector)
{
    const unsigned flagSets[] = {0, CArray<CString>::kGrowDouble};
    for (unsigned flags : flagSets) {
        std::mt19937 rng(1234 + flags);
        CArray<CString> array(0, 3, flags);
        std::vector<std::string> model;
        for (int step = 0; step < 3000; ++step) {
            int op = int(rng() % 10);
            if (op < 3) {
                std::string text = RandomText(rng);
                array.Add(CString(text.c_str()));
                model.push_back(text);
            } else if (op < 5 && !model.empty()) {
                // Adding one of its own elements, often at full capacity.
                int i = int(rng() % model.size());
                array.Add(*array.GetAt(i));
                model.push_back(model[size_t(i)]);
            } else if (op == 5) {
                *array.AddNew() = "new";
                model.push_back("new");
            } else if (op == 6) {
                int n = int(rng() % 40);
                array.SetSize(n);
                model.resize(size_t(n));
            } else if (op == 7 && !model.empty()) {
                int i = int(rng() % model.size());
                ASSERT_EQ(std::string(array.GetAt(i - int(model.size()))->GetText()), model[size_t(i)]);
                array.GetAt(i)->Append("x");
                model[size_t(i)] += "x";
            } else if (op == 8) {
                CArray<CString> copy(array);
                ExpectSameStrings(copy, model);
                CArray<CString> assigned;
                assigned.Add("junk");
                assigned = array;
                ExpectSameStrings(assigned, model);
                // A change to the copy leaves the original alone.
                if (copy.GetCount() > 0)
                    copy.GetAt(0)->Append("copy");
            } else if (rng() % 20 == 0) {
                array.RemoveAll();
                model.clear();
            }
            ASSERT_GE(array.GetCapacity(), array.GetCount());
            ExpectSameStrings(array, model);
        }
    }
}

TEST(ArrayTest, SelfAliasingAddAndAssignmentSurviveReallocation)
{
    CArray<CArray<int>> outer(1, 1);
    outer.AddNew()->Add(7);
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(outer.GetCount(), outer.GetCapacity()); // the next add must grow
        outer.Add(*outer.GetAt(0));
    }
    ASSERT_EQ(outer.GetCount(), 7);
    for (int i = 0; i < outer.GetCount(); ++i) {
        ASSERT_EQ(outer.GetAt(i)->GetCount(), 1);
        EXPECT_EQ(*outer.GetAt(i)->GetAt(0), 7);
    }

    CArray<CString> strings(1, 1);
    strings.Add("only");
    strings.Add(std::move(*strings.GetAt(0)));
    ASSERT_EQ(strings.GetCount(), 2);
    EXPECT_EQ(*strings.GetAt(1), "only");

    CArray<int> self;
    self.Add(1);
    self.Add(2);
    CArray<int>& alias = self;
    self = alias;
    ASSERT_EQ(self.GetCount(), 2);
    EXPECT_EQ(*self.GetAt(-1), 2);
}

TEST(ArrayTest, StorageIsAllocatedLazilyAndGrowsAsConfigured)
{
    CArray<int> lazy;
    EXPECT_FALSE(lazy.HasStorage());
    EXPECT_EQ(lazy.GetCapacity(), 10);
    lazy.Add(1);
    EXPECT_TRUE(lazy.HasStorage());
    EXPECT_EQ(lazy.GetCapacity(), 10);
    for (int i = 0; i < 10; ++i)
        lazy.Add(i);
    EXPECT_EQ(lazy.GetCapacity(), 20); // linear by the grow step
    lazy.RemoveAll();
    EXPECT_FALSE(lazy.HasStorage());
    EXPECT_EQ(lazy.GetCapacity(), 10);
    lazy.Add(5);
    EXPECT_EQ(*lazy.GetAt(0), 5);

    CArray<int> doubling(0, 4, CArray<int>::kGrowDouble);
    doubling.Reserve(7);
    EXPECT_EQ(doubling.GetCapacity(), 7); // straight to n from nothing
    doubling.Reserve(8);
    EXPECT_EQ(doubling.GetCapacity(), 14);

    CArray<int*> zeroed;
    zeroed.SetSize(12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(*zeroed.GetAt(i), nullptr);

    CArray<int> source(50, 7);
    source.Add(3);
    CArray<int> copy(source);
    EXPECT_EQ(copy.GetCapacity(), 1);
    EXPECT_EQ(copy.GetGrowStep(), 7);
}

TEST(ArrayTest, ByteCopyGrowthKeepsElements)
{
    CArray<CString> array(1, 1, CArray<CString>::kGrowDouble | CArray<CString>::kByteCopy);
    std::vector<std::string> model;
    for (int i = 0; i < 100; ++i) {
        std::string text = "item" + std::to_string(i);
        array.Add(CString(text.c_str()));
        model.push_back(text);
    }
    ExpectSameStrings(array, model);
}

TEST(ArrayTest, IteratorPositionsAtTheEdges)
{
    CArray<int> empty;
    CContainer<int>::SIterator* it = empty.NewIterator();
    empty.IterSeek(*it, -1);
    EXPECT_EQ(it->position, -1);
    EXPECT_EQ(empty.IterCurrent(*it), nullptr);
    delete it;

    CArray<int> array;
    for (int i = 0; i < 5; ++i)
        array.Add(i * 10);
    CContainer<int>::SIterator walk(array);
    array.IterSeek(walk, 9);
    EXPECT_EQ(walk.position, 5);
    EXPECT_EQ(array.IterCurrent(walk), nullptr);
    array.IterSeek(walk, -2);
    ASSERT_NE(array.IterCurrent(walk), nullptr);
    EXPECT_EQ(*array.IterCurrent(walk), 30);
    array.IterSeek(walk, -9);
    EXPECT_EQ(walk.position, -1);
    array.IterFirst(walk);
    EXPECT_EQ(*array.IterPrev(walk), 0);
    EXPECT_EQ(array.IterCurrent(walk), nullptr); // stepped back before the first

    EXPECT_EQ(WalkForward<int>(array), (std::vector<int>{0, 10, 20, 30, 40}));
    EXPECT_EQ(WalkBackward<int>(array), (std::vector<int>{40, 30, 20, 10, 0}));
}

// ---- CList ----

TEST(ListTest, RandomOperationsMatchStdList)
{
    std::mt19937 rng(99);
    CList<CString> list(3, CList<CString>::kGrowingBlocks);
    std::list<std::string> model;
    for (int step = 0; step < 4000; ++step) {
        int op = int(rng() % 10);
        if (op < 4) {
            std::string text = RandomText(rng);
            list.Add(CString(text.c_str()));
            model.push_back(text);
        } else if (op == 4) {
            *list.AddNew() = "n";
            model.push_back("n");
        } else if (op < 7 && !model.empty()) {
            int i = int(rng() % model.size());
            list.DeleteNode(list.GetAt(i));
            model.erase(std::next(model.begin(), i));
        } else if (op == 7 && !model.empty()) {
            int i = int(rng() % model.size());
            int index = rng() % 2 ? i : i - int(model.size());
            ASSERT_EQ(std::string(list.GetAt(index)->value.GetText()), *std::next(model.begin(), i));
        } else if (op == 8) {
            std::string probe = RandomText(rng);
            bool expected = std::find(model.begin(), model.end(), probe) != model.end();
            ASSERT_EQ(Contains(list, CString(probe.c_str())), expected);
        } else if (rng() % 30 == 0) {
            list.RemoveAll();
            model.clear();
        }
        ASSERT_EQ(list.GetCount(), int(model.size()));
        if (step % 50 == 0) {
            std::vector<CString> forward = WalkForward<CString>(list);
            std::vector<CString> backward = WalkBackward<CString>(list);
            ASSERT_EQ(forward.size(), model.size());
            ASSERT_EQ(backward.size(), model.size());
            auto m = model.begin();
            for (size_t k = 0; k < forward.size(); ++k, ++m) {
                ASSERT_EQ(std::string(forward[k].GetText()), *m);
                ASSERT_EQ(std::string(backward[forward.size() - 1 - k].GetText()), *m);
            }
            CList<CString> copy(list);
            ASSERT_EQ(WalkForward<CString>(copy), forward);
        }
    }
}

TEST(ListTest, BlocksGrowLinearlyAndAreKeptUntilRemoveAll)
{
    CList<int> list(10, CList<int>::kGrowingBlocks);
    for (int i = 0; i < 60; ++i)
        list.Add(i);
    const CArray<CList<int>::SNodeBlock>& blocks = list.GetBlocks();
    ASSERT_EQ(blocks.GetCount(), 3);
    EXPECT_EQ(blocks.GetAt(0)->nodeCount, 10);
    EXPECT_EQ(blocks.GetAt(1)->nodeCount, 20);
    EXPECT_EQ(blocks.GetAt(2)->nodeCount, 30);

    // Removed nodes are reused: no block is freed or added.
    for (int i = 0; i < 40; ++i)
        list.RemoveNode(list.GetHead());
    EXPECT_EQ(blocks.GetCount(), 3);
    for (int i = 0; i < 40; ++i)
        list.Add(100 + i);
    EXPECT_EQ(blocks.GetCount(), 3);
    EXPECT_EQ(list.GetCount(), 60);
    EXPECT_EQ(list.GetHead()->value, 40);
    EXPECT_EQ(list.GetTail()->value, 139);

    list.RemoveAll();
    EXPECT_EQ(blocks.GetCount(), 0);
    EXPECT_EQ(list.GetHead(), nullptr);
    list.Add(1);
    EXPECT_EQ(blocks.GetCount(), 1);

    CList<int> fixed(4, 0);
    for (int i = 0; i < 9; ++i)
        fixed.Add(i);
    EXPECT_EQ(fixed.GetBlocks().GetCount(), 3);
    EXPECT_EQ(fixed.GetBlocks().GetAt(2)->nodeCount, 4);
}

TEST(ListTest, IteratorSpecialPositions)
{
    CList<int> empty;
    CContainer<int>::SIterator* it = empty.NewIterator();
    EXPECT_EQ(it->position, CContainer<int>::kNoNode);
    EXPECT_EQ(empty.IterCurrent(*it), nullptr);
    EXPECT_EQ(empty.IterNext(*it), nullptr);
    EXPECT_EQ(empty.IterPrev(*it), nullptr);
    empty.IterSeek(*it, -1);
    EXPECT_EQ(empty.IterCurrent(*it), nullptr);
    delete it;

    CList<int> list;
    for (int i = 1; i <= 3; ++i)
        list.Add(i);
    CContainer<int>::SIterator walk(list);
    list.IterLast(walk);
    EXPECT_EQ(*list.IterNext(walk), 3);
    EXPECT_EQ(walk.position, CContainer<int>::kAfterLast);
    EXPECT_EQ(list.IterNext(walk), nullptr);
    EXPECT_EQ(list.IterPrev(walk), nullptr); // moves onto the tail
    EXPECT_EQ(*list.IterCurrent(walk), 3);

    list.IterFirst(walk);
    EXPECT_EQ(*list.IterPrev(walk), 1);
    EXPECT_EQ(walk.position, CContainer<int>::kBeforeFirst);
    EXPECT_EQ(list.IterNext(walk), nullptr); // moves onto the head
    EXPECT_EQ(*list.IterCurrent(walk), 1);

    list.IterSeek(walk, 1);
    EXPECT_EQ(*list.IterCurrent(walk), 2);
    list.IterSeek(walk, 5);
    EXPECT_EQ(walk.position, CContainer<int>::kAfterLast);
    list.IterSeek(walk, -3);
    EXPECT_EQ(*list.IterCurrent(walk), 1);
    list.IterSeek(walk, -4);
    EXPECT_EQ(walk.position, CContainer<int>::kBeforeFirst);

    // A by-value copy walks on its own.
    list.IterFirst(walk);
    CContainer<int>::SIterator copy = walk;
    walk++;
    EXPECT_EQ(*copy.Current(), 1);
    EXPECT_EQ(*walk.Current(), 2);
}

// ---- CHash ----

namespace {

uint32_t ClosedFormIntHash(int key)
{
    uint32_t u = uint32_t(key);
    int32_t b[4];
    for (int i = 0; i < 4; ++i)
        b[i] = int8_t(uint8_t(u >> (8 * i)));
    return ((uint32_t(b[0]) * 33 + uint32_t(b[1])) * 33 + uint32_t(b[2])) * 33 + uint32_t(b[3]) + 2086473605u;
}

void ExpectHashMatches(CHash<int, int>& hash, const std::vector<int>& order, const std::unordered_map<int, int>& model)
{
    ASSERT_EQ(hash.GetCount(), int(model.size()));
    ASSERT_EQ(order.size(), model.size());
    std::vector<int> keys;
    for (auto* node = hash.GetElements().GetHead(); node; node = node->next)
        keys.push_back(node->value.key);
    ASSERT_EQ(keys, order);
    for (const auto& entry : model) {
        CHash<int, int>::SHashElement* element = hash.Find(entry.first);
        ASSERT_NE(element, nullptr) << "key " << entry.first;
        ASSERT_EQ(element->value, entry.second);
    }
    ASSERT_GE(hash.GetBucketCount(), hash.GetCount());
}

} // namespace

TEST(HashTest, IntKeysHashAsTheirFourSignedBytes)
{
    CHash<int, int> hash;
    EXPECT_EQ(hash.HashKey(0), 2086473605u);
    std::mt19937 rng(5);
    for (int i = 0; i < 1000; ++i) {
        int key = int(rng());
        ASSERT_EQ(hash.HashKey(key), ClosedFormIntHash(key)) << key;
    }
    EXPECT_EQ(hash.HashKey(-1), ClosedFormIntHash(-1));
    EXPECT_EQ(hash.HashKey(0x80), ClosedFormIntHash(0x80));
}

TEST(HashTest, RandomOperationsMatchUnorderedMap)
{
    std::mt19937 rng(2024);
    CHash<int, int> hash;
    hash.InitBuckets(33);
    std::unordered_map<int, int> model;
    std::vector<int> order;
    for (int step = 0; step < 6000; ++step) {
        int key = int(rng() % 300) - 150;
        int op = int(rng() % 8);
        bool present = model.count(key) != 0;
        if (op < 3) {
            CHash<int, int>::SHashElement* element = hash.FindOrAdd(key);
            ASSERT_EQ(element->key, key);
            if (!present) {
                ASSERT_EQ(element->value, 0);
                order.push_back(key);
                model[key] = 0;
            }
            element->value += 1;
            model[key] += 1;
        } else if (op == 3) {
            CHash<int, int>::SHashElement* element = hash.Add(key);
            ASSERT_EQ(element == nullptr, present);
            if (element) {
                element->value = key * 2;
                model[key] = key * 2;
                order.push_back(key);
            }
        } else if (op < 6) {
            ASSERT_EQ(hash.Remove(hash.Find(key)), present);
            if (present) {
                model.erase(key);
                order.erase(std::find(order.begin(), order.end(), key));
            }
        } else if (op == 6) {
            CHash<int, int>::SHashElement* element = hash.Find(key);
            ASSERT_EQ(element != nullptr, present);
        } else if (rng() % 40 == 0) {
            hash.RemoveAll();
            model.clear();
            order.clear();
        }
        if (step % 10 == 0)
            ExpectHashMatches(hash, order, model);
    }
    CHash<int, int> copy(hash);
    ExpectHashMatches(copy, order, model);
    std::vector<int> values;
    for (int key : order)
        values.push_back(model[key]);
    EXPECT_EQ(WalkForward<int>(hash), values);
}

TEST(HashTest, GrowsOnTheInsertionThatFinds26Stored)
{
    CHash<int, int> hash;
    ASSERT_EQ(hash.GetBucketCount(), 50);
    for (int i = 0; i < 26; ++i)
        hash.FindOrAdd(i * 7);
    EXPECT_EQ(hash.GetBucketCount(), 50);
    hash.FindOrAdd(1000);
    EXPECT_EQ(hash.GetBucketCount(), 100);
    hash.FindOrAdd(1000); // present: nothing added
    EXPECT_EQ(hash.GetCount(), 27);

    // Insertion order survives growth and the removal of others.
    hash.Remove(hash.Find(7));
    hash.Remove(hash.Find(70));
    std::vector<int> keys;
    for (auto* node = hash.GetElements().GetHead(); node; node = node->next)
        keys.push_back(node->value.key);
    ASSERT_EQ(keys.size(), 25u);
    EXPECT_EQ(keys[0], 0);
    EXPECT_EQ(keys[1], 14);
    EXPECT_EQ(keys.back(), 1000);
}

TEST(HashTest, RemovalInAClusterThatWrapsKeepsEveryKeyFindable)
{
    CHash<int, int> hash;
    const int buckets = hash.GetBucketCount();
    std::vector<int> homeLast, homeZero;
    for (int key = 0; homeLast.size() < 3 || homeZero.size() < 2; ++key) {
        uint32_t home = hash.HashKey(key) % uint32_t(buckets);
        if (home == uint32_t(buckets - 1) && homeLast.size() < 3)
            homeLast.push_back(key);
        else if (home == 0 && homeZero.size() < 2)
            homeZero.push_back(key);
    }
    // Buckets 49, 0, 1 hold homeLast; 2, 3 hold homeZero.
    for (int key : homeLast)
        hash.FindOrAdd(key)->value = key;
    for (int key : homeZero)
        hash.FindOrAdd(key)->value = key;
    ASSERT_EQ(hash.GetBucket(buckets - 1)->key, homeLast[0]);
    ASSERT_EQ(hash.GetBucket(1)->key, homeLast[2]);
    ASSERT_EQ(hash.GetBucket(3)->key, homeZero[1]);

    ASSERT_TRUE(hash.Remove(hash.Find(homeLast[0])));
    EXPECT_EQ(hash.Find(homeLast[0]), nullptr);
    for (int key : {homeLast[1], homeLast[2], homeZero[0], homeZero[1]}) {
        ASSERT_NE(hash.Find(key), nullptr) << key;
        EXPECT_EQ(hash.Find(key)->value, key);
    }
    EXPECT_EQ(hash.GetBucket(buckets - 1)->key, homeLast[1]);
    EXPECT_EQ(hash.GetBucket(4), nullptr);
    EXPECT_FALSE(hash.Remove(hash.Find(homeLast[0])));
}

TEST(HashTest, TinyTablesNeverProbeForever)
{
    CHash<int, int> hash;
    hash.InitBuckets(1);
    for (int i = 0; i < 20; ++i)
        hash.FindOrAdd(i)->value = i;
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(hash.Find(i)->value, i);
    EXPECT_EQ(hash.Find(99), nullptr);

    CHash<int, int> full;
    full.InitBuckets(2);
    full.FindOrAdd(1);
    full.FindOrAdd(2);
    EXPECT_EQ(full.Find(3), nullptr);
    full.InitBuckets(1); // too small for what it holds: grown to fit
    EXPECT_NE(full.Find(1), nullptr);
    EXPECT_NE(full.Find(2), nullptr);
}

TEST(HashTest, KeylessInterfaceAddsNothingAndValuesAreDestroyed)
{
    {
        CHash<SCounted, int> hash;
        CContainer<SCounted>& container = hash;
        EXPECT_EQ(container.Add(SCounted(1)), nullptr);
        EXPECT_EQ(container.AddNew(), nullptr);
        EXPECT_EQ(container.GetCount(), 0);
        for (int i = 0; i < 40; ++i)
            hash.FindOrAdd(i)->value.value = i;
        EXPECT_EQ(SCounted::s_live, 40);
        hash.Remove(hash.Find(3));
        EXPECT_EQ(SCounted::s_live, 39);
        hash.RemoveAll();
        EXPECT_EQ(SCounted::s_live, 0);
        EXPECT_EQ(hash.Find(5), nullptr);
        hash.FindOrAdd(5);
    }
    EXPECT_EQ(SCounted::s_live, 0);
}

// ---- CFlexArray ----

TEST(FlexArrayTest, RandomOperationsMatchVector)
{
    std::mt19937 rng(77);
    CFlexArray<CString> array(4);
    std::vector<std::string> model;
    for (int step = 0; step < 3000; ++step) {
        int op = int(rng() % 8);
        if (op < 3) {
            std::string text = RandomText(rng);
            array.Add(CString(text.c_str()));
            model.push_back(text);
        } else if (op == 3 && !model.empty()) {
            int i = int(rng() % model.size());
            array.Add(*array.GetAt(i));
            model.push_back(model[size_t(i)]);
        } else if (op == 4) {
            int n = int(rng() % 50);
            array.SetSize(n, CString("fill"));
            model.resize(size_t(n), "fill");
        } else if (op == 5) {
            int n = int(rng() % 50);
            array.SetSize(n, true);
            model.resize(size_t(n));
        } else if (op == 6) {
            CFlexArray<CString> copy(array);
            ExpectSameStrings(copy, model);
            CFlexArray<CString> assigned;
            assigned.Add("junk");
            assigned = array;
            ExpectSameStrings(assigned, model);
        } else if (rng() % 20 == 0) {
            array.RemoveAll();
            model.clear();
        }
        ASSERT_EQ(array.GetCapacity() % 4, 0);
        ASSERT_GE(array.GetCapacity(), array.GetCount());
        ExpectSameStrings(array, model);
    }
}

TEST(FlexArrayTest, ElementsNeverMoveAndShrinkingKeepsBlocks)
{
    CFlexArray<int> array;
    ASSERT_EQ(array.GetBlockSize(), 16);
    array.SetSize(17, true);
    EXPECT_EQ(array.GetBlockCount(), 2);
    EXPECT_EQ(array.GetCapacity(), 32);
    std::vector<int*> addresses;
    for (int i = 0; i < 17; ++i) {
        *array.GetAt(i) = i;
        addresses.push_back(array.GetAt(i));
    }
    for (int i = 0; i < 1000; ++i)
        array.Add(i);
    for (int i = 0; i < 17; ++i) {
        ASSERT_EQ(array.GetAt(i), addresses[size_t(i)]);
        ASSERT_EQ(*addresses[size_t(i)], i);
    }
    int capacity = array.GetCapacity();
    array.SetSize(0, true);
    EXPECT_EQ(array.GetCapacity(), capacity);
    array.Add(5);
    EXPECT_EQ(array.GetAt(0), addresses[0]);

    int block = 0, slot = 0;
    array.SplitIndex(37, block, slot);
    EXPECT_EQ(block, 2);
    EXPECT_EQ(slot, 5);

    EXPECT_EQ(CFlexArray<int>(64).GetBlockSize(), 64);
    EXPECT_EQ(CFlexArray<int>(20).GetBlockSize(), 32);
    EXPECT_EQ(CFlexArray<int>(0).GetBlockSize(), 1);
}

TEST(FlexArrayTest, HoldsOwningArrayPointers)
{
    CFlexArray<CAutoArrayPointer<unsigned char>> blocks(2);
    for (int i = 0; i < 9; ++i) {
        CAutoArrayPointer<unsigned char> block(new unsigned char[8]);
        block[0] = static_cast<unsigned char>(i);
        blocks.Add(std::move(block));
        EXPECT_TRUE(block.IsNull());
    }
    blocks.AddNew();
    EXPECT_TRUE(blocks.GetAt(9)->IsNull());
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ((*blocks.GetAt(i))[0], i);
    blocks.SetSize(3, true); // frees the arrays it drops
    EXPECT_EQ(blocks.GetCount(), 3);
}

TEST(ContainerTest, OneWalkerServesEveryContainer)
{
    std::vector<int> values = {5, -1, 12, 0, 7};
    CArray<int> array;
    CList<int> list;
    CFlexArray<int> flex(2);
    CContainer<int>* fillable[] = {&array, &list, &flex};
    for (CContainer<int>* container : fillable) {
        for (int v : values)
            container->Add(v);
        EXPECT_EQ(container->GetCount(), 5);
        EXPECT_EQ(WalkForward(*container), values);
        std::vector<int> reversed(values.rbegin(), values.rend());
        EXPECT_EQ(WalkBackward(*container), reversed);
        container->RemoveAll();
        EXPECT_EQ(container->GetCount(), 0);
        EXPECT_TRUE(WalkForward(*container).empty());
    }

    CHash<int, int> hash;
    for (int v : values)
        hash.FindOrAdd(v * 3)->value = v;
    EXPECT_EQ(WalkForward<int>(hash), values);
}
