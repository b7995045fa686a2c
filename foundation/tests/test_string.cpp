#include "foundation/String.h"

#include "foundation/Array.h"
#include "foundation/AssocArray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

using Zorlin::CString;

namespace {

std::string Str(const CString& s) { return std::string(s.GetText(), s.GetLength()); }

// ---------------------------------------------------------------- storage

TEST(StringStorage, EmptyFormsReadAlike)
{
    CString none;
    CString fromNull(static_cast<const char*>(nullptr));
    CString assigned("x");
    assigned.Assign(static_cast<const char*>(nullptr));

    EXPECT_EQ(none.GetCapacity(), 0);
    EXPECT_STREQ(none.GetText(), "");
    EXPECT_GT(fromNull.GetCapacity(), 0);
    EXPECT_GT(assigned.GetCapacity(), 0);
    for (const CString* s : {&none, &fromNull, &assigned}) {
        EXPECT_EQ(s->GetLength(), 0);
        EXPECT_STREQ(s->GetText(), "");
        EXPECT_TRUE(*s == none);
        EXPECT_TRUE(*s == "");
    }
}

TEST(StringStorage, CopyOnWriteIsolatesCopies)
{
    CString a("abc");
    CString b(a);
    EXPECT_TRUE(a.SharesBlockWith(b));
    EXPECT_EQ(a.GetRefCount(), 2);
    b.Append('d');
    EXPECT_EQ(Str(a), "abc");
    EXPECT_EQ(Str(b), "abcd");
    EXPECT_EQ(a.GetRefCount(), 1);
    EXPECT_FALSE(a.SharesBlockWith(b));

    // Every writer unshares, not only the appenders.
    CString c(a);
    c.GetBuffer()[0] = 'X';
    EXPECT_EQ(Str(a), "abc");
    CString d(a);
    d.MakeUpper();
    CString e(a);
    e.Truncate(1);
    CString f(a);
    f.Replace('b', 'B');
    EXPECT_EQ(Str(a), "abc");
    EXPECT_EQ(Str(d), "ABC");
    EXPECT_EQ(Str(e), "a");
    EXPECT_EQ(Str(f), "aBc");
}

TEST(StringStorage, AssignEmptySourceKeepsOwnBlock)
{
    CString a("hello");
    CString shared(a);
    a.Assign(CString());
    EXPECT_EQ(a.GetLength(), 0);
    EXPECT_GT(a.GetCapacity(), 0);
    EXPECT_EQ(Str(shared), "hello");
    EXPECT_EQ(shared.GetRefCount(), 1);
}

TEST(StringStorage, ReserveCapacities)
{
    CString a, b, c;
    a.Reserve(0);
    b.Reserve(15);
    c.Reserve(16);
    EXPECT_EQ(a.GetCapacity(), 32);
    EXPECT_EQ(a.GetGrowStep(), 32);
    EXPECT_EQ(b.GetCapacity(), 32);
    EXPECT_EQ(c.GetCapacity(), 48);

    // Growth by the step while small, by half the capacity once larger, so
    // a megabyte appended a byte at a time moves its text a few dozen
    // times, not tens of thousands.
    CString s;
    std::vector<int> seen;
    for (int i = 0; i < (1 << 20); ++i) {
        s.Append('x');
        if (seen.empty() || seen.back() != s.GetCapacity())
            seen.push_back(s.GetCapacity());
    }
    std::vector<int> expected = {32, 80, 128, 208, 320};
    EXPECT_EQ(std::vector<int>(seen.begin(), seen.begin() + 5), expected);
    EXPECT_LT(seen.size(), 40u);
    EXPECT_EQ(s.GetLength(), 1 << 20);
}

TEST(StringStorage, LargerGrowStepIsKeptWhenUnshared)
{
    CString s;
    s.Reserve(10);
    s.SetGrowStep(4096);
    s.Append("abc");
    CString copy(s);
    copy.Append('d'); // unsharing copies the block's grow step
    EXPECT_EQ(copy.GetGrowStep(), 4096);
    for (int i = 0; i < 20; ++i)
        copy.Append('e');
    EXPECT_GE(copy.GetCapacity(), 4096);
}

TEST(StringStorage, SelfAliasingWrites)
{
    CString s("abc");
    s.Append(s);
    EXPECT_EQ(Str(s), "abcabc");

    // Grow past the capacity while reading our own characters.
    CString big("0123456789");
    for (int i = 0; i < 8; ++i)
        big.Append(big);
    EXPECT_EQ(big.GetLength(), 10 << 8);
    EXPECT_EQ(Str(big.Mid(2550, -1)), "0123456789");

    CString t("hello world");
    t.Append(t.GetText() + 6);
    EXPECT_EQ(Str(t), "hello worldworld");
    t.Assign(t.GetText() + 5);
    EXPECT_EQ(Str(t), " worldworld");
    t.Insert(0, t);
    EXPECT_EQ(Str(t), " worldworld worldworld");
    EXPECT_EQ(t.ReplaceAll(t.GetText() + 1, "!"), 1);
    EXPECT_EQ(Str(t), " !");
    CString u("aXa");
    u.ReplaceAll(u.GetText() + 1, u.GetText());
    EXPECT_EQ(Str(u), "aaXa");
    CString v("%s");
    v.AppendFormat("%s|%s", v.GetText(), v.GetText());
    EXPECT_EQ(Str(v), "%s%s|%s");
}

TEST(StringStorage, SetLengthFillsOnlyOnRequest)
{
    CString s("ab");
    s.SetLength(5, true, '-');
    EXPECT_EQ(Str(s), "ab---");
    s.SetLength(1);
    EXPECT_EQ(Str(s), "a");
    EXPECT_EQ(s.GetText()[1], '\0');
}

// ---------------------------------------------------------------- formatting

TEST(StringFormat, NumbersUsePrintfForms)
{
    CString s;
    s.Append(-42);
    s.Append(' ');
    s.Append(4000000000u);
    s.Append(' ');
    s.Append(0.1f);
    s.Append(' ');
    s.Append(0.1);
    EXPECT_EQ(Str(s), "-42 4000000000 0.1000000015 0.1");

    for (int v : {0, 7, -1, 2147483647, -2147483647 - 1}) {
        CString t;
        t.Append(v);
        char want[32];
        std::snprintf(want, sizeof want, "%i", v);
        EXPECT_EQ(Str(t), want);
    }
    CString u;
    u.Append(4294967295u);
    EXPECT_EQ(Str(u), "4294967295");
}

TEST(StringFormat, AppendFormatHasNoLengthLimit)
{
    std::string longText(100000, 'q');
    CString s("<");
    s.AppendFormat("%s|%d|%s", longText.c_str(), 7, "end");
    EXPECT_EQ(Str(s), "<" + longText + "|7|end");
    s.AppendFormat("%s", "");
    EXPECT_EQ(s.GetLength(), static_cast<int>(longText.size()) + 7);
}

// ---------------------------------------------------------------- searching and pieces

TEST(StringSearch, CharacterSearches)
{
    EXPECT_EQ(CString("archive.tar.gz").ReverseFind('.'), 11);
    EXPECT_EQ(CString("readme").ReverseFind('.'), 0);
    EXPECT_EQ(CString(".cfg").ReverseFind('.'), 0);
    EXPECT_EQ(CString().ReverseFind('.'), 0);
    EXPECT_EQ(CString("abc").Find('x', 2), 3);
    EXPECT_EQ(CString("abc").Find('c', -1), 2);

    int pos = -7;
    EXPECT_FALSE(CString().Find('a', &pos, 0, -1));
    EXPECT_FALSE(CString("abc").Find('a', &pos, 1, 0));
    EXPECT_TRUE(CString("abcabc").Find('b', &pos, 2, -1));
    EXPECT_EQ(pos, 4);
    EXPECT_TRUE(CString("abcabc").ReverseFind('a', &pos, -1, 0));
    EXPECT_EQ(pos, 3);
    EXPECT_FALSE(CString("abcabc").ReverseFind('c', &pos, 1, 0));
}

TEST(StringSearch, TextSearchUpperBoundIsExclusive)
{
    int pos = -1;
    EXPECT_FALSE(CString("abcz").Find(CString("z"), &pos, 0, -1));
    EXPECT_TRUE(CString("abzc").Find(CString("z"), &pos, 0, -1));
    EXPECT_EQ(pos, 2);
    EXPECT_FALSE(CString("abc").Find(CString("a"), &pos, 1, 1));
    EXPECT_TRUE(CString("abc").MatchAt(CString(), 3));
    EXPECT_FALSE(CString("abc").MatchAt(CString("cd"), 2));
}

TEST(StringPieces, RangesClampAndEmpty)
{
    CString s("abcdef");
    EXPECT_EQ(Str(s.Mid(-3, -1)), "def");
    EXPECT_EQ(Str(s.Mid(2, 1)), "");
    EXPECT_EQ(Str(s.Mid(4, 2)), "");
    EXPECT_EQ(Str(s.Mid(3, 100)), "def");
    CString t("abc");
    t.Truncate(-1);
    EXPECT_EQ(Str(t), "ab");
    t.Truncate(10);
    EXPECT_EQ(Str(t), "ab");

    CString path("key.sub.leaf");
    EXPECT_EQ(Str(path.BeforeChar(0, '.')), "key");
    EXPECT_EQ(Str(path.BeforeChar(0, '.', true)), "key.");
    EXPECT_EQ(Str(path.BeforeChar(4, '.')), "sub");
    EXPECT_EQ(Str(path.BeforeChar(3, '.')), "");
    EXPECT_EQ(Str(path.BeforeChar(8, '.')), "leaf");
    EXPECT_EQ(Str(path.AfterChar('.')), "sub.leaf");
    EXPECT_EQ(Str(path.AfterChar('.', -1, true)), ".sub.leaf");
    EXPECT_EQ(Str(path.AfterChar('.', 5)), "su");
    EXPECT_EQ(Str(path.AfterChar('#', 2)), "key");
    EXPECT_EQ(Str(path.AfterChar('.', 2)), "");
}

// ---------------------------------------------------------------- changing

TEST(StringChange, ReplaceAllCountsAndNeverRescans)
{
    CString s("aaa");
    EXPECT_EQ(s.ReplaceAll("a", "aa"), 3);
    EXPECT_EQ(Str(s), "aaaaaa");
    EXPECT_EQ(s.ReplaceAll("", "x"), 0);
    EXPECT_EQ(s.ReplaceAll("aaaaaaa", "x"), 0);
    EXPECT_EQ(s.ReplaceAll("aa", nullptr), 3);
    EXPECT_EQ(s.GetLength(), 0);
    CString t("{name} and {name}");
    EXPECT_EQ(t.ReplaceAll("{name}", "{name}{name}"), 2);
    EXPECT_EQ(Str(t), "{name}{name} and {name}{name}");
}

TEST(StringChange, TrimOnlySpaces)
{
    CString s("  x  ");
    s.Trim();
    EXPECT_EQ(Str(s), "x");
    CString t("\tx\t");
    t.Trim();
    EXPECT_EQ(Str(t), "\tx\t");
    CString all("    ");
    all.Trim();
    EXPECT_EQ(all.GetLength(), 0);
}

TEST(StringChange, CaseChangesOnlyAsciiLetters)
{
    CString s("aZ\xe4\xc4-9q");
    s.MakeUpper();
    EXPECT_EQ(Str(s), "AZ\xe4\xc4-9Q");
    s.MakeLower(1, 1);
    EXPECT_EQ(Str(s), "Az\xe4\xc4-9Q");
}

// ---------------------------------------------------------------- comparison

TEST(StringCompare, NaturalOrder)
{
    auto cmp = [](const char* a, const char* b) { return CString::CompareNatural(CString(a), CString(b)); };
    EXPECT_LT(cmp("a2", "a10"), 0);
    EXPECT_GT(cmp("a10", "a2"), 0);
    EXPECT_EQ(cmp("abc", "abc1"), 0);
    EXPECT_GT(cmp("B", "a"), 0);
    EXPECT_GT(cmp("10", "9"), 0);
    EXPECT_GT(cmp("x", "1"), 0);
    EXPECT_EQ(cmp("Game", "game"), 0);
    EXPECT_EQ(cmp("file007", "file7"), 0);
    // Numbers longer than an int still order by value.
    EXPECT_LT(cmp("v99999999999999999999", "v100000000000000000000"), 0);
    EXPECT_EQ(cmp("", "abc"), 0);
}

TEST(StringCompare, StrictNaturalOrderKeepsTheNaturalOneAndTellsTiesApart)
{
    auto cmp = [](const char* a, const char* b) { return CString::CompareNaturalStrict(CString(a), CString(b)); };
    EXPECT_LT(cmp("a2", "a10"), 0);
    EXPECT_LT(cmp("abc", "abc1"), 0);
    EXPECT_GT(cmp("abc1", "abc"), 0);
    EXPECT_LT(cmp("Game", "game"), 0);
    EXPECT_LT(cmp("file007", "file7"), 0);
    EXPECT_EQ(cmp("same 1", "same 1"), 0);

    // Random names sort as a selection sort by CompareNatural orders them,
    // wherever CompareNatural tells two names apart.
    unsigned seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    const char pieces[][4] = {"a", "B", "7", "10", "007", " ", "vs", "-"};
    for (int round = 0; round < 50; ++round) {
        Zorlin::CArray<CString> names;
        for (int n = 0; n < 60; ++n) {
            CString name;
            for (unsigned k = 1 + next() % 5; k > 0; --k)
                name.Append(pieces[next() % 8]);
            names.Add(name);
        }
        Zorlin::CArray<CString> sorted;
        for (int i = 0; i < names.GetCount(); ++i)
            sorted.Add(*names.GetAt(i));
        Zorlin::SortNatural(sorted);
        for (int i = 0; i + 1 < sorted.GetCount(); ++i) {
            EXPECT_LE(CString::CompareNaturalStrict(*sorted.GetAt(i), *sorted.GetAt(i + 1)), 0);
            for (int j = i + 1; j < sorted.GetCount(); ++j)
                EXPECT_LE(CString::CompareNatural(*sorted.GetAt(i), *sorted.GetAt(j)), 0)
                    << sorted.GetAt(i)->GetText() << " / " << sorted.GetAt(j)->GetText();
        }
    }
}

TEST(StringCompare, KeysEqualNoCaseFoldsAsciiOnly)
{
    EXPECT_TRUE(Zorlin::KeysEqualNoCase(CString("Preferences.Sound"), CString("preferences.SOUND")));
    EXPECT_FALSE(Zorlin::KeysEqualNoCase(CString("abc"), CString("abcd")));
    EXPECT_FALSE(Zorlin::KeysEqualNoCase(CString("\xe4"), CString("\xc4")));
    EXPECT_TRUE(Zorlin::KeysEqualNoCase(CString(), CString("")));
    EXPECT_FALSE(Zorlin::KeysEqualNoCase(CString("a["), CString("a{")));
}

TEST(StringCompare, IsNumericAndStripTags)
{
    EXPECT_TRUE(CString("12 34").IsNumeric());
    EXPECT_TRUE(CString().IsNumeric());
    EXPECT_FALSE(CString("1.5").IsNumeric());
    EXPECT_EQ(Str(Zorlin::StripTags(CString("a<b>c</b>d"))), "acd");
    EXPECT_EQ(Str(Zorlin::StripTags(CString("a>b<c"))), "ac");
    EXPECT_EQ(Str(Zorlin::StripTags(CString("<<x>y>z"))), "z");
    EXPECT_EQ(Zorlin::StripTags(CString("plain")).GetGrowStep(), 32);
}

// ---------------------------------------------------------------- splitting and templates

const char* const kBlanks = " \a\b\f\n\r\t\v";

std::vector<std::string> SplitOf(const char* text, const char* seps, const char* quotes, const char* skips,
                                 bool keep)
{
    Zorlin::CArray<CString> out;
    out.Add(CString("stale")); // Split starts from an empty array
    int n = CString(text).Split(out, seps, quotes, skips, keep);
    std::vector<std::string> v;
    for (int i = 0; i < out.GetCount(); ++i)
        v.push_back(Str(*out.GetAt(i)));
    EXPECT_EQ(n, out.GetCount());
    return v;
}

using Tokens = std::vector<std::string>;

TEST(StringSplit, QuotesSeparatorsAndSkips)
{
    EXPECT_EQ(SplitOf("  one \"two three\"  four", kBlanks, "\"\"", nullptr, false),
              (Tokens{"one", "two three", "four"}));
    EXPECT_EQ(SplitOf("  one \"two three\"  four", kBlanks, "\"\"", nullptr, true),
              (Tokens{"one", "\"two three\"", "four"}));
    EXPECT_EQ(SplitOf("a \"\" b", kBlanks, "\"\"", nullptr, false), (Tokens{"a", "", "b"}));
    EXPECT_EQ(SplitOf("ab\"cd\"ef", kBlanks, "\"\"", nullptr, false), (Tokens{"ab", "cd", "ef"}));
    EXPECT_EQ(SplitOf("x \"abc", kBlanks, "\"\"", nullptr, false), (Tokens{"x", "abc"}));
    EXPECT_EQ(SplitOf("x \"abc", kBlanks, "\"\"", nullptr, true), (Tokens{"x", "\"abc"}));
    EXPECT_EQ(SplitOf("'a b' \"c 'd'\"", kBlanks, "\"\"''", nullptr, false), (Tokens{"a b", "c 'd'"}));
    EXPECT_EQ(SplitOf("key=\"a=b\",c", "=,", "\"\"", nullptr, false), (Tokens{"key", "a=b", "c"}));
    EXPECT_EQ(SplitOf("preferences.window.x", ".", nullptr, nullptr, false),
              (Tokens{"preferences", "window", "x"}));
    EXPECT_EQ(SplitOf("a #note\nb (x y)c", kBlanks, nullptr, "#\n()", false), (Tokens{"a", "b", "c"}));
    EXPECT_EQ(SplitOf("", kBlanks, "\"\"", nullptr, false), Tokens{});
    EXPECT_EQ(SplitOf("   ", kBlanks, "\"\"", nullptr, false), Tokens{});
    // Bytes above 127 index the tables by their unsigned value.
    EXPECT_EQ(SplitOf("a\xa0" "b\xabq r\xbb", "\xa0 ", "\xab\xbb", nullptr, false), (Tokens{"a", "b", "q r"}));
}

TEST(StringSplit, ReplaceAllFromDictionaryInKeyOrder)
{
    Zorlin::CAssocArray<CString> fields;
    fields["{a}"] = CString("1");
    fields["{B}"] = CString("{a}");
    CString page("{a}{B}{b}");
    // Key by key in insertion order, each replaced as exact text: the value
    // put in for {B} is not revisited by the earlier key {a}.
    EXPECT_EQ(page.ReplaceAll(fields), 2);
    EXPECT_EQ(Str(page), "1{a}{b}");
}

// ---------------------------------------------------------------- differential

// Reference behaviour on std::string, written from the documented rules.
struct SModel {
    static int Adj(int i, int len) { return i < 0 ? i + len : i; }

    static std::string Mid(const std::string& s, int from, int to)
    {
        int len = static_cast<int>(s.size());
        from = std::max(0, Adj(from, len));
        to = std::min(len - 1, Adj(to, len));
        return from > to ? std::string() : s.substr(from, to - from + 1);
    }

    static int ReplaceAll(std::string& s, const std::string& find, const std::string& with)
    {
        if (find.empty() || s.size() < find.size())
            return 0;
        int count = 0;
        size_t pos = 0;
        while (pos < s.size()) {
            if (s.compare(pos, find.size(), find) == 0) {
                s.replace(pos, find.size(), with);
                pos += with.size();
                ++count;
            } else {
                ++pos;
            }
        }
        return count;
    }

    static int ReverseFind(const std::string& s, char c)
    {
        for (int i = static_cast<int>(s.size()) - 1; i >= 1; --i)
            if (s[i] == c)
                return i;
        return 0;
    }

    static bool FindText(const std::string& s, const std::string& t, int from, int* pos)
    {
        int len = static_cast<int>(s.size());
        int to = len - 1;
        from = std::max(0, Adj(from, len));
        for (int p = from; p < to; ++p) {
            if (s.compare(p, t.size(), t) == 0 && p + t.size() <= s.size()) {
                *pos = p;
                return true;
            }
        }
        return false;
    }
};

class CDifferential {
public:
    explicit CDifferential(unsigned seed) : m_rng(seed), m_strings(6), m_models(6) {}

    void Run(int steps)
    {
        for (int i = 0; i < steps; ++i) {
            Step();
            for (size_t k = 0; k < m_strings.size(); ++k) {
                const CString& s = m_strings[k];
                ASSERT_EQ(s.GetLength(), static_cast<int>(m_models[k].size())) << "step " << i << " op " << m_lastOp;
                ASSERT_EQ(Str(s), m_models[k]) << "step " << i << " op " << m_lastOp;
                ASSERT_EQ(s.GetText()[s.GetLength()], '\0');
                if (s.GetCapacity() > 0) {
                    ASSERT_LE(s.GetLength() + 17, s.GetCapacity());
                }
            }
        }
    }

private:
    int Rand(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    char RandChar() { return "abcAB .<>x1"[Rand(0, 10)]; }
    std::string RandText(int maxLen)
    {
        std::string t(static_cast<size_t>(Rand(0, maxLen)), ' ');
        for (char& c : t)
            c = RandChar();
        return t;
    }
    int Slot() { return Rand(0, static_cast<int>(m_strings.size()) - 1); }
    int Index(int len) { return Rand(-len, std::max(0, len - 1)); } // negative forms too

    void Step()
    {
        int k = Slot();
        CString& s = m_strings[k];
        std::string& m = m_models[k];
        int len = static_cast<int>(m.size());
        m_lastOp = Rand(0, 23);
        switch (m_lastOp) {
        case 0: { char c = RandChar(); s.Append(c); m += c; break; }
        case 1: { std::string t = RandText(40); s.Append(t.c_str()); m += t; break; }
        case 2: { int j = Slot(); std::string copy = m_models[j]; s.Append(m_strings[j]); m += copy; break; }
        case 3: { int j = Slot(); s = m_strings[j]; m = m_models[j]; break; }
        case 4: { std::string t = RandText(20); s.Assign(t.c_str()); m = t; break; }
        case 5: { int n = Rand(-3, len + 3); s.Truncate(n); int keep = n < 0 ? std::max(0, n + len) : n; if (keep < len) m.resize(keep); break; }
        case 6: { int a = Index(len), b = Rand(-len, len + 2); s = s.Mid(a, b); m = SModel::Mid(m, a, b); break; }
        case 7: {
            int pos = Rand(0, len);
            int j = Slot();
            std::string ins = m_models[j];
            s.Insert(pos, m_strings[j]);
            m.insert(static_cast<size_t>(pos), ins);
            break;
        }
        case 8:
            if (len > 0) {
                int a = Rand(0, len - 1), b = Rand(a == 0 ? 0 : a - 1, len - 1);
                s.Delete(a, b);
                if (b >= a)
                    m.erase(a, b - a + 1);
            }
            break;
        case 9:
            if (len > 0) {
                int a = Rand(0, len - 1), b = Rand(a == 0 ? 0 : a - 1, len - 1);
                std::string t = RandText(6);
                s.Replace(a, b, CString(t.c_str()));
                m.replace(a, b - a + 1, t);
            }
            break;
        case 10: { char a = RandChar(), b = RandChar(); s.Replace(a, b); std::replace(m.begin(), m.end(), a, b); break; }
        case 11: {
            std::string f = RandText(3), w = RandText(4);
            int got = s.ReplaceAll(f.c_str(), w.c_str());
            ASSERT_EQ(got, SModel::ReplaceAll(m, f, w));
            break;
        }
        case 12: s.MakeUpper(); for (char& c : m) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c))); break;
        case 13: s.MakeLower(); for (char& c : m) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c))); break;
        case 14: {
            s.Trim();
            size_t b = m.find_first_not_of(' ');
            m = b == std::string::npos ? std::string() : m.substr(b, m.find_last_not_of(' ') - b + 1);
            break;
        }
        case 15: { int n = Rand(0, len + 10); s.SetLength(n, true, '#'); m.resize(n, '#'); break; }
        case 16: { int v = Rand(-100000, 100000); s.Append(v); m += std::to_string(v); break; }
        case 17: {
            std::string t = RandText(5);
            int v = Rand(0, 999);
            s.AppendFormat("[%s:%03d]", t.c_str(), v);
            char buf[64];
            std::snprintf(buf, sizeof buf, "[%s:%03d]", t.c_str(), v);
            m += buf;
            break;
        }
        case 18: { CString copy(s); copy.Append('!'); copy.MakeUpper(); break; } // must not leak into s
        case 19: { char c = RandChar(); ASSERT_EQ(s.ReverseFind(c), SModel::ReverseFind(m, c)); break; }
        case 20: {
            char c = RandChar();
            int from = Rand(0, len + 2);
            size_t p = m.find(c, static_cast<size_t>(std::min(from, len)));
            int expect = from >= len ? from : (p == std::string::npos ? len : static_cast<int>(p));
            ASSERT_EQ(s.Find(c, from), expect);
            break;
        }
        case 21: {
            std::string t = RandText(3);
            int from = Rand(0, len);
            int got = -1, want = -1;
            bool found = s.Find(CString(t.c_str()), &got, from, -1);
            ASSERT_EQ(found, SModel::FindText(m, t, from, &want));
            if (found) {
                ASSERT_EQ(got, want);
            }
            break;
        }
        case 22: {
            int j = Slot();
            ASSERT_EQ(s == m_strings[j], m == m_models[j]);
            ASSERT_EQ(s < m_strings[j], m < m_models[j]);
            break;
        }
        case 23: { CString tmp(s); s = CString(tmp, tmp); m += m; if (m.size() > 4000) { s.Truncate(100); m.resize(100); } break; }
        }
        if (m.size() > 4000) {
            s.Truncate(1000);
            m.resize(1000);
        }
    }

    std::mt19937 m_rng;
    std::vector<CString> m_strings;
    std::vector<std::string> m_models;
    int m_lastOp = -1;
};

TEST(StringDifferential, RandomOperationsMatchStdString)
{
    for (unsigned seed : {1u, 2u, 3u, 20240601u}) {
        CDifferential run(seed);
        run.Run(5000);
        if (HasFatalFailure())
            return;
    }
}

} // namespace
