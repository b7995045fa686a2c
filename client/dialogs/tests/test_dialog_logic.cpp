// The logic behind the dialogs, without windows: photo fitting, match
// statistics, the New AI Game settings, the profile fields and the PGN index.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <malloc.h>
#include <regex>
#include <sstream>
#include <unistd.h>

#include "chess/ChessBoard.h"
#include "client/dialogs/AIGameSettings.h"
#include "client/dialogs/MatchStatistics.h"
#include "client/dialogs/PgnIndex.h"
#include "client/core/PhotoFit.h"
#include "client/dialogs/ProfileSettings.h"
#include "client/dialogs/TimeSlice.h"
#include "client/dialogs/tests/support/FailingFile.h"
#include "foundation/AssocArray.h"
#include "foundation/BufferFile.h"
#include "foundation/BufferedInputFile.h"
#include "foundation/Config.h"
#include "foundation/Image.h"
#include "foundation/Win32File.h"

using namespace Zorlin;

namespace {

std::string Value(CConfig& config, const char* key)
{
    return config.GetValueOr(key, "(missing)").GetText();
}

// A temporary folder removed with everything in it.
struct STempFolder {
    std::string path;
    STempFolder()
    {
        char name[] = "/tmp/rookwell-dialogs-XXXXXX";
        path = mkdtemp(name);
    }
    ~STempFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
};

// The pixel (r, g, b) of a 24-bit BMP file, read without the image library.
struct SBmp {
    int width = 0, height = 0;
    std::vector<unsigned char> data;
    bool Load(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (data.size() < 54 || data[0] != 'B' || data[1] != 'M' || data[28] != 24)
            return false;
        width = int(data[18] | data[19] << 8);
        height = int(data[22] | data[23] << 8);
        return true;
    }
    void Pixel(int x, int y, int rgb[3]) const
    {
        size_t offset = data[10] | data[11] << 8 | data[12] << 16;
        size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
        const unsigned char* p = &data[offset + size_t(height - 1 - y) * stride + size_t(x) * 3];
        rgb[0] = p[2];
        rgb[1] = p[1];
        rgb[2] = p[0];
    }
};

} // namespace

TEST(PhotoFit, ScalesIntoNinetySixBySeventyTwoAndCentres)
{
    struct SCase {
        int w, h, fw, fh, x, y;
    } cases[] = {
        {192, 96, 96, 48, 0, 12}, {96, 192, 36, 72, 30, 0}, {96, 72, 96, 72, 0, 0}, {48, 36, 96, 72, 0, 0},
        {300, 225, 96, 72, 0, 0}, {640, 480, 96, 72, 0, 0}, {1000, 1, 96, 1, 0, 35}, {1, 1000, 1, 72, 47, 0},
        {97, 73, 95, 72, 0, 0},
    };
    for (const SCase& c : cases) {
        SPhotoFit fit;
        ASSERT_TRUE(FitPhoto(c.w, c.h, fit));
        EXPECT_EQ(fit.width, c.fw) << c.w << "x" << c.h;
        EXPECT_EQ(fit.height, c.fh) << c.w << "x" << c.h;
        EXPECT_EQ(fit.x, c.x) << c.w << "x" << c.h;
        EXPECT_EQ(fit.y, c.y) << c.w << "x" << c.h;
    }
    SPhotoFit fit;
    EXPECT_FALSE(FitPhoto(0, 10, fit));
    EXPECT_FALSE(FitPhoto(10, -1, fit));
}

TEST(PhotoFit, WideRedPictureBecomesBandWithBorderInTheSavedBmp)
{
    STempFolder temp;
    CImage picture(192, 96, 19);
    picture.Clear(CColour(220, 20, 30, 255));
    CImage photo;
    ASSERT_TRUE(MakeProfilePhoto(picture, photo));
    std::string path = temp.path + "/photo.bmp";
    {
        CWin32File out(path.c_str(), 10);
        ASSERT_TRUE(out.IsOpen());
        ASSERT_EQ(photo.Save(out, "bmp"), 0);
    }
    SBmp bmp;
    ASSERT_TRUE(bmp.Load(path));
    ASSERT_EQ(bmp.width, 96);
    ASSERT_EQ(bmp.height, 72);
    int rgb[3];
    for (int y : {12, 30, 59}) {
        bmp.Pixel(48, y, rgb);
        EXPECT_EQ(rgb[0], 220) << y;
        EXPECT_EQ(rgb[1], 20) << y;
        EXPECT_EQ(rgb[2], 30) << y;
    }
    for (int y : {0, 11, 60, 71}) {
        bmp.Pixel(48, y, rgb);
        EXPECT_NE(rgb[0], 220) << "border at row " << y;
    }
    CImage empty;
    CImage unused;
    EXPECT_FALSE(MakeProfilePhoto(empty, unused));
}

TEST(MatchStatistics, CountsEveryResultFromZero)
{
    CConfig user;
    for (int i = 0; i < 3; ++i)
        RecordMatchResult(user, -1);
    EXPECT_EQ(Value(user, "preferences.matches.played"), "3");
    EXPECT_EQ(Value(user, "preferences.matches.lost"), "3");
    EXPECT_EQ(Value(user, "preferences.matches.won"), "(missing)");
    user.GetValue("preferences.matches.won") = "41";
    user.GetValue("Preferences.Matches.Drawn") = "rubbish";
    RecordMatchResult(user, 1);
    RecordMatchResult(user, 0);
    EXPECT_EQ(Value(user, "preferences.matches.played"), "5");
    EXPECT_EQ(Value(user, "preferences.matches.won"), "42");
    EXPECT_EQ(Value(user, "preferences.matches.drawn"), "1");
}

TEST(AIGameSettings, DefaultsFlagsAndRoundTrip)
{
    CConfig user;
    SAIGameSettings first;
    LoadAIGameSettings(user, first);
    EXPECT_STREQ(first.engine.GetText(), "Gnu Chess 5");
    EXPECT_EQ(first.colour, kComputerBlack);
    EXPECT_EQ(first.moves, 40);
    EXPECT_EQ(first.minutes, 5);
    EXPECT_TRUE(first.depthEnabled);
    EXPECT_EQ(first.depth, 3);
    EXPECT_FALSE(first.pondering);
    EXPECT_EQ(user.GetKeyCount(), 0) << "reading creates nothing";

    user.GetValue("Preferences.Dialogs.AIGame.Pondering") = "YES";
    user.GetValue("preferences.dialogs.aigame.depthenabled") = "False";
    user.GetValue("Preferences.Dialogs.AIGame.Moves") = "12abc";
    SAIGameSettings read;
    LoadAIGameSettings(user, read);
    EXPECT_TRUE(read.pondering);
    EXPECT_FALSE(read.depthEnabled);
    EXPECT_EQ(read.moves, 12);

    SAIGameSettings chosen;
    chosen.engine = "fairymax";
    chosen.colour = kComputerRandom;
    chosen.moves = 40;
    chosen.minutes = 90;
    chosen.depth = 7;
    chosen.pondering = true;
    SaveAIGameSettings(user, chosen);
    EXPECT_EQ(Value(user, "Preferences.Dialogs.AIGame.Pondering"), "yes");
    EXPECT_EQ(Value(user, "Preferences.Dialogs.AIGame.Time"), "90");
    EXPECT_EQ(Value(user, "Preferences.Dialogs.AIGame.Colour"), "2");
    SAIGameSettings back;
    LoadAIGameSettings(user, back);
    EXPECT_STREQ(back.engine.GetText(), "fairymax");
    EXPECT_EQ(back.minutes, 90);
    EXPECT_EQ(back.depth, 7);
    EXPECT_EQ(PeriodSeconds(back.minutes), 5400.0);
}

TEST(AIGameSettings, ColourOfTheComputer)
{
    EXPECT_FALSE(ComputerPlaysWhite(kComputerBlack, 1));
    EXPECT_TRUE(ComputerPlaysWhite(kComputerWhite, 0));
    EXPECT_TRUE(ComputerPlaysWhite(kComputerRandom, 7));
    EXPECT_FALSE(ComputerPlaysWhite(kComputerRandom, 8));
    // Two runs of draws give both colours; an unseeded rand() would always
    // start the same way, this generator differs between runs but not here.
    int white = 0;
    for (int i = 0; i < 200; ++i)
        white += ComputerPlaysWhite(kComputerRandom, DrawRandom());
    EXPECT_GT(white, 50);
    EXPECT_LT(white, 150);
}

TEST(ProfileSettings, FieldsAreCleanedBeforeTheyAreStored)
{
    CConfig user;
    user.GetValue("Profile.id") = "calculate";
    SProfileFields fields;
    fields.name = "  <b>Ann</b> ";
    fields.nickname = "   ";
    fields.email = "ann@example.org<script>x</script>";
    fields.otherInformation = "ICQ <i>12345</i>\nhome page";
    fields.keepEmailPrivate = true;
    ASSERT_TRUE(StoreProfile(user, fields));
    EXPECT_EQ(Value(user, "profile.name"), "Ann");
    EXPECT_EQ(Value(user, "profile.nickname"), "Ann");
    EXPECT_EQ(Value(user, "profile.email"), "ann@example.orgx");
    EXPECT_EQ(Value(user, "profile.otherinformation"), "ICQ 12345\nhome page");
    EXPECT_EQ(Value(user, "Profile.KeepEmailPrivate"), "yes");
    EXPECT_EQ(Value(user, "Profile.KeepIPPrivate"), "no");

    SProfileFields loaded;
    LoadProfile(user, loaded);
    EXPECT_TRUE(loaded.keepEmailPrivate);
    EXPECT_FALSE(loaded.keepIpPrivate);
    EXPECT_STREQ(loaded.name.GetText(), "Ann");

    for (const char* empty : {"", "   ", "<b></b>", " <i> </i> "}) {
        CConfig fresh;
        SProfileFields blank;
        blank.name = empty;
        blank.nickname = "nick";
        EXPECT_FALSE(StoreProfile(fresh, blank)) << "\"" << empty << "\"";
        EXPECT_EQ(fresh.GetKeyCount(), 0) << "nothing written";
    }
}

TEST(ProfileSettings, IdentifierIsMadeOnceFromTheName)
{
    CConfig user;
    user.GetValue("Profile.id") = "calculate";
    user.GetValue("Profile.Name") = "Ann";
    EXPECT_TRUE(IsNewUser(user));
    EnsureUserId(user, 1234, 1700000000ul);
    std::string id = Value(user, "profile.id");
    EXPECT_NE(id, "calculate");
    EXPECT_FALSE(id.empty());
    EXPECT_FALSE(IsNewUser(user));
    EnsureUserId(user, 9999, 1800000000ul);
    EXPECT_EQ(Value(user, "profile.id"), id);
    CConfig other;
    other.GetValue("Profile.id") = "Calculate";
    EXPECT_FALSE(IsNewUser(other)) << "case counts";
}

namespace {

// White and Black of every game, in file order, straight from the tag lines.
std::vector<std::pair<std::string, std::string>> ScanPlayers(const std::string& path)
{
    std::ifstream in(path);
    std::string line, white, black;
    std::vector<std::pair<std::string, std::string>> out;
    bool inTags = false;
    std::smatch m;
    std::regex tag(R"(^\[(\w+) \"(.*)\"\]\s*$)");
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, tag)) {
            if (!inTags) {
                white = black = "unknown";
                inTags = true;
            }
            if (m[1] == "White")
                white = m[2];
            if (m[1] == "Black")
                black = m[2];
        } else if (inTags) {
            out.push_back({white, black});
            inTags = false;
        }
    }
    return out;
}

// The n-th game read back through the index and loaded onto a board: its
// tags and the plies made; false when either step fails.
bool LoadIndexedGame(const CPgnIndex& index, CFile& file, int n, CAssocArray<CString>& tags, int& plies)
{
    CString text;
    if (!index.ReadGame(file, n, text))
        return false;
    CBufferFile game(text);
    CChessBoard board;
    board.SetupStartPosition();
    CString error;
    const bool loaded = board.LoadPgnGame(game, tags, error);
    plies = board.GetPly();
    return loaded;
}

} // namespace

TEST(PgnIndex, ListsEveryGameOfARealFileAndReadsEachAgain)
{
    std::string path = ROOKWELL_TESTDATA "/pgn/engine-games-800.pgn";
    auto players = ScanPlayers(path);
    ASSERT_EQ(players.size(), 800u);
    CWin32File* inner = new CWin32File(path.c_str(), 1);
    ASSERT_TRUE(inner->IsOpen());
    CBufferedInputFile file(inner, 16384, 2);
    file.SetOwnsInner(true);
    std::vector<int> progress;
    CPgnIndex index;
    ASSERT_EQ(index.Build(file, [&](int n) {
        progress.push_back(n);
        return true;
    }), 800);
    ASSERT_EQ(progress.size(), 800u) << "told after every game";
    EXPECT_EQ(progress.front(), 1);
    EXPECT_EQ(progress.back(), 800);
    for (int i = 0; i < 800; ++i) {
        std::string want = std::to_string(i + 1) + ". " + players[size_t(i)].first + " vs " +
                           players[size_t(i)].second;
        ASSERT_EQ(index.GetLabel(i).GetText(), want);
    }
    // Games read back in any order still load onto a board.
    for (int i : {799, 0, 417, 1}) {
        CAssocArray<CString> tags;
        int plies = 0;
        EXPECT_TRUE(LoadIndexedGame(index, file, i, tags, plies)) << i;
        EXPECT_GT(plies, 0) << i;
        EXPECT_EQ(std::string(tags["White"].GetText()), players[size_t(i)].first);
    }
    CString none;
    EXPECT_FALSE(index.ReadGame(file, 800, none));
    EXPECT_FALSE(index.ReadGame(file, -1, none));
}

TEST(PgnIndex, MissingNamesAndEmptyFiles)
{
    std::ostringstream text;
    for (int i = 1; i <= 250; ++i) {
        text << "[Event \"g" << i << "\"]\n";
        if (i != 7)
            text << "[Black \"B" << i << "\"]\n";
        text << "[White \"W" << i << "\"]\n\n1. e4 e5 *\n\n";
    }
    CString source(text.str().c_str());
    CBufferFile file(source);
    std::vector<int> progress;
    CPgnIndex index;
    ASSERT_EQ(index.Build(file, [&](int n) {
        progress.push_back(n);
        return true;
    }), 250);
    EXPECT_EQ(progress.size(), 250u);
    EXPECT_STREQ(index.GetLabel(0).GetText(), "1. W1 vs B1");
    EXPECT_STREQ(index.GetLabel(6).GetText(), "7. W7 vs unknown");
    EXPECT_STREQ(index.GetLabel(249).GetText(), "250. W250 vs B250");

    CString nothing("   \n\n");
    CBufferFile empty(nothing);
    CPgnIndex none;
    EXPECT_EQ(none.Build(empty), 0);
}

// Stopped by its progress, the index keeps the games read so far, each
// whole, and reads them again; read afresh, it lists the whole file.
TEST(PgnIndex, StoppedPartWayKeepsTheGamesReadSoFar)
{
    std::string path = ROOKWELL_TESTDATA "/pgn/engine-games-800.pgn";
    auto players = ScanPlayers(path);
    CWin32File* inner = new CWin32File(path.c_str(), 1);
    ASSERT_TRUE(inner->IsOpen());
    CBufferedInputFile file(inner, 16384, 2);
    file.SetOwnsInner(true);
    CPgnIndex index;
    int last = 0;
    ASSERT_EQ(index.Build(file, [&](int n) {
        last = n;
        return n < 317;
    }), 317);
    EXPECT_EQ(last, 317) << "nothing read past the stop";
    std::string want = "317. " + players[316].first + " vs " + players[316].second;
    EXPECT_EQ(index.GetLabel(316).GetText(), want);
    CString text;
    ASSERT_TRUE(index.ReadGame(file, 316, text));
    CBufferFile game(text);
    CChessBoard board;
    board.SetupStartPosition();
    CAssocArray<CString> tags;
    CString error;
    EXPECT_TRUE(board.LoadPgnGame(game, tags, error)) << error.GetText();
    EXPECT_EQ(std::string(tags["White"].GetText()), players[316].first);
    EXPECT_FALSE(index.ReadGame(file, 317, text));

    file.Seek(0, 0);
    EXPECT_EQ(index.Build(file), 800);
}

// Text that holds no game is read in blocks the pace is asked about, so a
// huge stretch of it cannot hold the window for the whole file; stopped
// there, the games before it stay and the game it was in is dropped.
TEST(PgnIndex, ALongStretchWithoutAGameIsPacedAndCanBeStoppedInIt)
{
    std::string prose;
    while (prose.size() < (4u << 20))
        prose += "; remarks between games, a line the reader passes over\n";
    const std::string first = "[White \"W1\"]\n[Black \"B1\"]\n\n1. e4 e5 *\n\n";
    const std::string last = "\n[White \"W2\"]\n[Black \"B2\"]\n\n1. d4 d5 *\n";
    CString text((first + prose + last).c_str());
    CBufferFile file(text);
    std::vector<int> progress;
    int asked = 0;
    CPgnIndex index;
    EXPECT_EQ(index.Build(file, [&](int n) {
        progress.push_back(n);
        return true;
    }, [&] {
        ++asked;
        return true;
    }), 2);
    EXPECT_TRUE(index.IsComplete());
    EXPECT_EQ(progress, (std::vector<int>{1, 2})) << "still told after every game only";
    EXPECT_GE(asked, int(prose.size() / 32768)) << "asked at least once for each buffer of the stretch";
    EXPECT_STREQ(index.GetLabel(1).GetText(), "2. W2 vs B2");

    file.Seek(0, 0);
    asked = 0;
    EXPECT_EQ(index.Build(file, CPgnIndex::Progress(), [&] { return ++asked < 20; }), 1);
    EXPECT_EQ(asked, 20) << "nothing read past the stop";
    EXPECT_TRUE(index.IsComplete()) << "stopped, not cut short by a failed read";
    EXPECT_STREQ(index.GetLabel(0).GetText(), "1. W1 vs B1");
    EXPECT_LT(file.GetPosition(), uint64_t(first.size()) + (1u << 20));
}

// A slice runs out by time alone, however many items it held; the next
// one starts when the last is found out.
TEST(TimeSlice, DueOnceEachSliceHasRunOut)
{
    double now = 100.0;
    CTimeSlice slice(0.05, [&] { return now; });
    EXPECT_FALSE(slice.Due());
    now += 0.049;
    EXPECT_FALSE(slice.Due());
    now += 0.002;
    EXPECT_TRUE(slice.Due());
    EXPECT_FALSE(slice.Due()) << "a new slice started";
    now += 0.03;
    EXPECT_FALSE(slice.Due());
    now += 0.03;
    EXPECT_TRUE(slice.Due());
    // A long stall gives one turn, not one for every slice it covered.
    now += 10.0;
    EXPECT_TRUE(slice.Due());
    EXPECT_FALSE(slice.Due());

    // A quick turn leaves the slice as it is; a slow one lengthens the next
    // slice to ten times the turn.
    ASSERT_TRUE((now += 0.05, slice.Due()));
    now += 0.001;
    slice.TurnOver();
    now += 0.049;
    EXPECT_FALSE(slice.Due());
    now += 0.002;
    ASSERT_TRUE(slice.Due());
    now += 0.2;
    slice.TurnOver();
    now += 1.9;
    EXPECT_FALSE(slice.Due());
    now += 0.2;
    ASSERT_TRUE(slice.Due());
    now += 0.001;
    slice.TurnOver();
    now += 0.051;
    EXPECT_TRUE(slice.Due()) << "back to the plain slice";

    // The steady clock by default: a real slice runs out.
    double start = CTimeSlice::SteadySeconds();
    CTimeSlice real(0.001);
    while (!real.Due())
        ASSERT_LT(CTimeSlice::SteadySeconds() - start, 60.0);
    EXPECT_GE(CTimeSlice::SteadySeconds() - start, 0.001);
}

namespace {

// A short game with real moves; its length in moves varies with n.
std::string ShortGame(int n, const std::string& white, const std::string& black)
{
    static const char* const moves[] = {"e4", "e5", "Nf3", "Nc6", "Bb5", "a6", "Ba4", "Nf6", "O-O", "Be7"};
    std::string text = "[Event \"Club\"]\n[White \"" + white + "\"]\n[Black \"" + black +
                       "\"]\n[Result \"1/2-1/2\"]\n\n";
    const int plies = 2 + 2 * (n % 5);
    for (int i = 0; i < plies; ++i)
        text += (i % 2 ? "" : std::to_string(i / 2 + 1) + ". ") + moves[i] + " ";
    return text + "1/2-1/2\n\n";
}

// A game whose move text runs over many lines, so that a cut falls inside it.
std::string LongGame(int n)
{
    std::string text = "[White \"W" + std::to_string(n) + "\"]\n[Black \"B" + std::to_string(n) + "\"]\n\n";
    for (int i = 1; i <= 40; ++i)
        text += std::to_string(2 * i - 1) + ". Nf3 Nf6 " + std::to_string(2 * i) + ". Ng1 Ng8\n";
    return text + "1-0\n\n";
}

std::string MakeSparseFile(int64_t at, const std::string& bytes)
{
    char path[] = "/tmp/rookwell-pgn-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return std::string();
    const bool ok = pwrite(fd, bytes.data(), bytes.size(), off_t(at)) == ssize_t(bytes.size());
    close(fd);
    if (!ok)
        unlink(path);
    return ok ? path : std::string();
}

} // namespace

// Games that straddle and follow 2 GiB and 4 GiB, in sparse files that cost no
// disk: listed with their names and read back whole from where they lie.
TEST(PgnIndex, ListsAndReadsGamesPastTwoAndFourGigabytes)
{
    for (const int64_t boundary : {int64_t(1) << 31, int64_t(1) << 32}) {
        std::string games;
        for (int i = 0; i < 6; ++i)
            games += ShortGame(i, "W" + std::to_string(i), "B" + std::to_string(i));
        const int64_t start = boundary - 100; // the first game straddles the boundary
        const std::string path = MakeSparseFile(start, games);
        ASSERT_FALSE(path.empty());
        CWin32File* inner = new CWin32File(path.c_str(), 1);
        CBufferedInputFile file(inner, 16384, 2);
        file.SetOwnsInner(true);
        ASSERT_TRUE(file.Seek(start, CFile::kSeekStart)); // the hole before is not read
        CPgnIndex index;
        EXPECT_EQ(index.Build(file), 6) << boundary;
        EXPECT_TRUE(index.IsComplete());
        for (int i : {5, 0, 3}) {
            const std::string label = std::to_string(i + 1) + ". W" + std::to_string(i) + " vs B" + std::to_string(i);
            EXPECT_STREQ(index.GetLabel(i).GetText(), label.c_str());
            CAssocArray<CString> tags;
            int plies = 0;
            EXPECT_TRUE(LoadIndexedGame(index, file, i, tags, plies)) << i;
            EXPECT_EQ(plies, 2 + 2 * (i % 5)) << i;
            EXPECT_EQ(std::string(tags["White"].GetText()), "W" + std::to_string(i));
        }
        unlink(path.c_str());
    }
}

// Reads that stop before the file's end, as they stopped at 2 GiB: inside a
// game's move text, inside its tags, or just after a whole game. The games
// before the cut are listed, the cut one never, and the list says it is
// incomplete; through the viewer's block cache and straight from the file.
TEST(PgnIndex, AGameCutByTheEndOfReadableDataIsNeverListed)
{
    std::string text;
    std::vector<size_t> ends;
    for (int i = 0; i < 300; ++i) {
        text += LongGame(i);
        ends.push_back(text.size());
    }
    const size_t movesOf150 = text.find("1. Nf3", ends[149]);
    const struct {
        size_t readable;
        int listed;
    } cuts[] = {
        {movesOf150 + 500, 150},  // "...Ng1 Ng8\n21. Nf3 N": looks like a game that just stops
        {ends[149] + 10, 150},    // inside the tags of game 151
        {ends[149], 150},         // right after game 150
        {ends[149] - 3, 149},     // "1-" of game 150's result
        {text.size(), 300},       // everything
    };
    for (const auto& cut : cuts) {
        for (const bool buffered : {false, true}) {
            CFailingFile inner(text, cut.readable);
            CBufferedInputFile cache(&inner, 16384, 2);
            CFile& file = buffered ? static_cast<CFile&>(cache) : inner;
            CPgnIndex index;
            EXPECT_EQ(index.Build(file), cut.listed) << cut.readable << (buffered ? " buffered" : "");
            EXPECT_EQ(index.IsComplete(), cut.readable == text.size()) << cut.readable;
            CString last;
            ASSERT_TRUE(index.ReadGame(file, cut.listed - 1, last));
            EXPECT_EQ(std::string(last.GetText()).substr(size_t(last.GetLength()) - 4), "1-0\n") << cut.readable;
        }
    }
}

// Places and names only, each distinct name once: a list of 100 000 games by
// 5 000 players takes well under 64 bytes a game on the heap.
TEST(PgnIndex, HoldsAGameInFewBytes)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator keeps its own counts";
#else
    const int games = 100000;
    std::string text;
    for (int i = 0; i < games; ++i)
        text += ShortGame(i, "Player " + std::to_string(i % 5000), "Player " + std::to_string((i * 7) % 5000));
    CString source(text.c_str());
    CBufferFile file(source);
    const struct mallinfo2 before = mallinfo2();
    CPgnIndex index;
    ASSERT_EQ(index.Build(file), games);
    const struct mallinfo2 after = mallinfo2();
    const double perGame =
        double((after.uordblks + after.hblkhd) - (before.uordblks + before.hblkhd)) / games;
    EXPECT_LE(perGame, 32.0);
    EXPECT_LE(double(index.GetMemoryUse()) / games, 32.0);
    EXPECT_STREQ(index.GetLabel(games - 1).GetText(), "100000. Player 4999 vs Player 4993");
    RecordProperty("bytes_per_game", std::to_string(perGame));
#endif
}
