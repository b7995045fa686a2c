// Game Over's options cut short at every step on the disk. A child process
// carries them out for a won game and stops dead (_exit) before its Nth
// step: a file made, a sync, a rename, a link, a removal, a folder made.
// The next start (the sweep, the user settings read, the noted count
// settled) must then find the game kept and counted once, or neither, and
// a start after that must change nothing.
//
// The stops are those of DiskSteps.h, syncs counted, wherever the client's
// own code touches the disk.

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "client/core/ExitSaver.h"
#include "client/core/PlayedGames.h"
#include "client/core/UserFolderSweep.h"
#include "client/dialogs/GameOverOptions.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "testsupport/DiskSteps.h"
#include "testsupport/TempFiles.h"

using namespace RookwellTest;
using Zorlin::CConfig;
using Zorlin::CString;

namespace {

const char kGame[] = "[Event \"Rookwell\"]\n[White \"Ann\"]\n[Black \"Computer\"]\n[Result \"1-0\"]\n\n"
                     "1. e4 f5 2. exf5 g5 3. Qh5# 1-0\n";
const char kName[] = "2026-12-10 101500 Ann vs Computer";

// The user's record before the game: 2 played, 1 won, 1 lost.
const int kPlayedBefore = 2;
const int kWonBefore = 1;

struct SStart {
    int kept = 0;     // games of that name in "played games"
    int counted = 0;  // played less those before
    int won = 0;      // won less those before
    bool noted = false;
    bool savedCopy = false;
    bool strays = false; // temporaries left in "played games"
    std::string Describe() const
    {
        return "kept " + std::to_string(kept) + ", counted " + std::to_string(counted) + ", won " +
               std::to_string(won) + (noted ? ", a note left" : "") + (savedCopy ? ", the saved copy there" : "") +
               (strays ? ", temporaries left" : "");
    }
};

class GameOverCut : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_base = MakeTempFolder("game-over");
        ASSERT_FALSE(m_base.empty());
        m_user = m_base + "/tester";
    }
    void TearDown() override { RemoveTree(m_base); }

    // A user folder with a record, a saved copy of the game in play, and
    // what else is asked for in "played games".
    void MakeUser(const std::string& takenName)
    {
        RemoveTree(m_user);
        WriteWholeFile(m_user + "/user.cfg", "preferences = {\n\tlanguage = english\n\tmatches = {\n"
                                             "\t\tplayed = 2\n\t\twon = 1\n\t\tlost = 1\n\t\tdrawn = 0\n\t}\n}\n");
        WriteWholeFile(m_user + "/active games/Ann vs Computer.rwg", "saved");
        mkdir((m_user + "/played games").c_str(), 0755);
        if (!takenName.empty())
            WriteWholeFile(m_user + "/played games/" + takenName, "an earlier game");
    }

    // The game of the user's saved copy, ended with that result.
    SFinishedGame Finished(int result) const
    {
        SFinishedGame game;
        game.pgnName = kName;
        game.pgn = kGame;
        game.result = result;
        game.savedPath = (m_user + "/active games/Ann vs Computer.rwg").c_str();
        return game;
    }

    // Game Over's OK in a child stopped before its stop-th step; what it
    // stopped at, or empty when it ran to its end.
    std::string CarryOutStopped(long stop, SGameOverChoice choice)
    {
        int pipe[2];
        if (::pipe(pipe) != 0)
            return "no pipe";
        const pid_t child = fork();
        if (child == 0) {
            close(pipe[0]);
            DiskSteps::StopBefore(m_user, stop, DiskSteps::ESyncs::kCounted, pipe[1]);
            Zorlin::CDiskDrive drive(m_user.c_str());
            CConfig user;
            ReadSettings(drive, user);
            CPlayedGames played;
            CarryOutGameOver(drive, user, played, Finished(1), choice, [&] { return SaveUserSettings(drive, user); });
            _exit(0);
        }
        close(pipe[1]);
        std::string said;
        char buffer[4096];
        for (ssize_t n; (n = read(pipe[0], buffer, sizeof buffer)) > 0;)
            said.append(buffer, size_t(n));
        close(pipe[0]);
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status))
            return "the child died";
        if (WEXITSTATUS(status) == 0)
            return std::string();
        return WEXITSTATUS(status) == DiskSteps::kStoppedStatus ? said : "the child failed";
    }

    // As the start-up reads them; true when the file read whole. The user's
    // own drive stands in for the program folder: its defaults are read
    // only for a damaged file.
    static bool ReadSettings(Zorlin::CDiskDrive& drive, CConfig& user)
    {
        return !ReadUserSettings(drive, drive, user).damaged;
    }

    // The client's start-up on the folder: what it finds then.
    SStart Start()
    {
        SweepUserFolder(m_user.c_str());
        Zorlin::CDiskDrive drive(m_user.c_str());
        CConfig user;
        EXPECT_TRUE(ReadSettings(drive, user)) << "user.cfg reads whole";
        if (SettleNotedGameCount(drive, user)) {
            EXPECT_TRUE(SaveUserSettings(drive, user));
        }
        SStart found;
        CConfig onDisk;
        ReadSettings(drive, onDisk);
        found.counted = std::atoi(onDisk.GetValueOr(".preferences.matches.played", "").GetText()) - kPlayedBefore;
        found.won = std::atoi(onDisk.GetValueOr(".preferences.matches.won", "").GetText()) - kWonBefore;
        found.noted = !onDisk.GetValueOr(kNotedGameKey, "").IsEmpty();
        for (const std::string& entry : ListFolder(m_user + "/played games")) {
            if (entry[0] == '.')
                found.strays = true;
            else if (entry.rfind(kName, 0) == 0 && ReadWholeFile(m_user + "/played games/" + entry) == kGame)
                ++found.kept;
        }
        found.savedCopy = FileExists(m_user + "/active games/Ann vs Computer.rwg");
        return found;
    }

    // Every cut of the options: what each next start must find. The calls
    // stopped at, as "fsync PATH".
    std::set<std::string> EveryCut(SGameOverChoice choice, const std::string& takenName)
    {
        std::set<std::string> stops;
        for (long stop = 0; stop < 200; ++stop) {
            MakeUser(takenName);
            const std::string stopped = CarryOutStopped(stop, choice);
            const SStart first = Start();
            const SStart second = Start();
            const std::string where = stopped.empty() ? "run to its end" : "stopped at " + stopped;
            EXPECT_EQ(stopped.find("the child"), std::string::npos) << stopped;
            EXPECT_LE(first.kept, 1) << where << ": " << first.Describe();
            EXPECT_EQ(first.counted, first.won) << where << ": " << first.Describe();
            if (choice.count && choice.keepPgn)
                EXPECT_EQ(first.counted, first.kept) << where << ": " << first.Describe();
            else if (choice.count)
                EXPECT_EQ(first.kept, 0) << where << ": " << first.Describe();
            else
                EXPECT_EQ(first.counted, 0) << where << ": " << first.Describe();
            EXPECT_LE(first.counted, 1) << where << ": " << first.Describe();
            EXPECT_GE(first.counted, 0) << where << ": " << first.Describe();
            EXPECT_TRUE(first.savedCopy || first.kept == 1)
                << where << ": the saved copy went before the game was kept";
            EXPECT_FALSE(first.noted) << where << ": " << first.Describe();
            EXPECT_FALSE(first.strays) << where << ": " << first.Describe();
            EXPECT_EQ(second.Describe(), first.Describe()) << where << ": a second start changes nothing";
            if (stopped.empty()) {
                EXPECT_EQ(first.kept, choice.keepPgn ? 1 : 0) << where;
                EXPECT_EQ(first.counted, choice.count ? 1 : 0) << where;
                EXPECT_EQ(first.savedCopy, !choice.removeSaved) << where;
                return stops;
            }
            stops.insert(stopped);
        }
        ADD_FAILURE() << "the options never ran to their end";
        return stops;
    }

    bool StoppedAt(const std::set<std::string>& stops, const std::string& call, const std::string& in)
    {
        for (const std::string& stop : stops)
            if (stop.rfind(call + " ", 0) == 0 && stop.find(in) != std::string::npos)
                return true;
        return false;
    }

    std::string m_base;
    std::string m_user;
};

} // namespace

TEST_F(GameOverCut, AGameKeptAndCountedIsBothOrNeitherWhereverTheKillFalls)
{
    SGameOverChoice all;
    const std::set<std::string> stops = EveryCut(all, "");
    // The two cuts that lost a count before: the PGN whole but not yet in
    // place, at its sync and at its rename.
    EXPECT_TRUE(StoppedAt(stops, "fsync", "/played games/." + std::string(kName))) << ::testing::PrintToString(stops);
    EXPECT_TRUE(StoppedAt(stops, "rename", "/played games/" + std::string(kName) + ".pgn"))
        << ::testing::PrintToString(stops);
    EXPECT_TRUE(StoppedAt(stops, "rename", "/user.cfg")) << ::testing::PrintToString(stops);

    // The name taken by an earlier game: the note names the new file, so
    // the earlier one never passes for it.
    EveryCut(all, std::string(kName) + ".pgn");
}

TEST_F(GameOverCut, AGameOnlyKeptOrOnlyCountedIsSoWhereverTheKillFalls)
{
    SGameOverChoice keep;
    keep.count = false;
    EveryCut(keep, "");
    SGameOverChoice count;
    count.keepPgn = false;
    count.removeSaved = false;
    EveryCut(count, "");
}

TEST_F(GameOverCut, AGameThatCannotBeWrittenIsStillCountedAndTheNoteGoes)
{
    MakeUser("");
    RemoveTree(m_user + "/played games");
    WriteWholeFile(m_user + "/played games", "a file where the folder belongs");
    Zorlin::CDiskDrive drive(m_user.c_str());
    CConfig user;
    ReadSettings(drive, user);
    CPlayedGames played;
    const SFinishedGame game = Finished(-1);
    int saves = 0;
    const SGameOverDone done = CarryOutGameOver(drive, user, played, game, SGameOverChoice(), [&] {
        ++saves;
        return SaveUserSettings(drive, user);
    });
    EXPECT_TRUE(done.lost);
    EXPECT_FALSE(done.error.IsEmpty());
    EXPECT_FALSE(done.removed);
    EXPECT_TRUE(FileExists(m_user + "/active games/Ann vs Computer.rwg"));
    EXPECT_EQ(saves, 2);
    CConfig onDisk;
    ReadSettings(drive, onDisk);
    EXPECT_STREQ(onDisk.GetValueOr(".preferences.matches.lost", "").GetText(), "2");
    EXPECT_STREQ(onDisk.GetValueOr(kNotedGameKey, "").GetText(), "");

    // A settings file that cannot be written is tried once, not twice.
    saves = 0;
    CarryOutGameOver(drive, user, played, game, SGameOverChoice(), [&] {
        ++saves;
        return false;
    });
    EXPECT_EQ(saves, 1);
    EXPECT_STREQ(user.GetValueOr(kNotedGameKey, "").GetText(), "") << "the exit's save finds no note";
}

TEST(NotedGameCount, ANoteIsSettledByWhetherItsGameIsKept)
{
    const std::string base = MakeTempFolder("noted-count");
    ASSERT_FALSE(base.empty());
    WriteWholeFile(base + "/played games/2026-12-10 101500 Ann vs Bob.pgn", kGame);
    Zorlin::CDiskDrive drive(base.c_str());
    struct {
        const char* note;
        const char* played;
        const char* won;
        const char* drawn;
        const char* lost;
    } cases[] = {
        {"won 2026-12-10 101500 Ann vs Bob.pgn", "5", "3", "1", "1"},     // kept: stays counted
        {"won 2026-12-10 101500 Ann vs Cy.pgn", "4", "2", "1", "1"},      // not kept: taken back
        {"drawn 2026-12-10 101500 Ann vs Cy.pgn", "4", "3", "0", "1"},
        {"lost 2026-12-10 101500 Ann vs Bob (2).pgn", "4", "3", "1", "0"},
        {"won ../played games/2026-12-10 101500 Ann vs Bob.pgn", "5", "3", "1", "1"}, // no name of ours
        {"won", "5", "3", "1", "1"},
        {"tied 2026-12-10 101500 Ann vs Cy.pgn", "5", "3", "1", "1"},
        {"won 2026-12-10 101500 Ann vs Cy.rwg", "5", "3", "1", "1"},
    };
    for (const auto& c : cases) {
        CConfig user;
        user.GetValue(".preferences.matches.played") = "5";
        user.GetValue(".preferences.matches.won") = "3";
        user.GetValue(".preferences.matches.drawn") = "1";
        user.GetValue(".preferences.matches.lost") = "1";
        user.GetValue(kNotedGameKey) = c.note;
        EXPECT_TRUE(SettleNotedGameCount(drive, user)) << c.note;
        EXPECT_STREQ(user.GetValueOr(".preferences.matches.played", "").GetText(), c.played) << c.note;
        EXPECT_STREQ(user.GetValueOr(".preferences.matches.won", "").GetText(), c.won) << c.note;
        EXPECT_STREQ(user.GetValueOr(".preferences.matches.drawn", "").GetText(), c.drawn) << c.note;
        EXPECT_STREQ(user.GetValueOr(".preferences.matches.lost", "").GetText(), c.lost) << c.note;
        EXPECT_STREQ(user.GetValueOr(kNotedGameKey, "(gone)").GetText(), "") << c.note;
        EXPECT_FALSE(SettleNotedGameCount(drive, user)) << c.note << ": settled once";
    }
    // A count taken back never goes below nothing.
    CConfig empty;
    empty.GetValue(kNotedGameKey) = "lost 2026-12-10 101500 Ann vs Cy.pgn";
    EXPECT_TRUE(SettleNotedGameCount(drive, empty));
    EXPECT_STREQ(empty.GetValueOr(".preferences.matches.played", "").GetText(), "0");
    EXPECT_STREQ(empty.GetValueOr(".preferences.matches.lost", "").GetText(), "0");
    RemoveTree(base);
}
