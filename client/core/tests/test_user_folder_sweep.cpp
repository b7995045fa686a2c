// The start-up sweep of a user folder, against temporaries named as the
// atomic writer names them, of writers that run and of writers gone.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "client/core/UserFolderSweep.h"

using Zorlin::CString;

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// The first game of a real file, as a played game holds one.
std::string FirstGame()
{
    const std::string all = ReadFile(ROOKWELL_TESTDATA "/pgn/kasparov-deep-blue-1997.pgn");
    return all.substr(0, all.find("1-0\n") + 4);
}

class UserFolderSweep : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/sweep-XXXXXX";
        m_folder = mkdtemp(pattern);
        for (const char* sub : {"/active games", "/opponents", "/played games"})
            mkdir((m_folder + sub).c_str(), 0700);
        // A process number that no longer runs: a child that has ended.
        const pid_t ended = fork();
        if (ended == 0)
            _exit(0);
        waitpid(ended, nullptr, 0);
        m_gone = long(ended);
        // A writer that still runs.
        m_live = fork();
        if (m_live == 0) {
            pause();
            _exit(0);
        }
    }
    void TearDown() override
    {
        kill(m_live, SIGKILL);
        waitpid(m_live, nullptr, 0);
        std::system(("rm -rf '" + m_folder + "'").c_str());
    }
    std::string Temporary(const std::string& folder, const std::string& name, long pid, int serial = 0)
    {
        return m_folder + folder + "/." + name + ".tmp-" + std::to_string(pid) + "-" + std::to_string(serial);
    }
    void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

    std::string m_folder;
    long m_gone = 0;
    pid_t m_live = 0;
};

} // namespace

TEST_F(UserFolderSweep, RemovesWhatGoneWritersLeftAndKeepsTheRest)
{
    const std::string gone[] = {Temporary("", "user.cfg", m_gone), Temporary("/active games", "Ann vs Bob.rwg", m_gone),
                                Temporary("/opponents", "4F3A.cfg", m_gone, 7),
                                Temporary("", "running.marker", m_gone, 2)};
    const std::string kept[] = {Temporary("", "user.cfg", m_live), Temporary("/active games", "Ann vs Bob.rwg", m_live),
                                m_folder + "/.hidden", m_folder + "/user.cfg.tmp-" + std::to_string(m_gone) + "-1",
                                m_folder + "/active games/Ann vs Bob.rwg"};
    for (const std::string& path : gone)
        Write(path, "cut");
    for (const std::string& path : kept)
        Write(path, "kept");
    EXPECT_TRUE(SweepUserFolder(m_folder.c_str()).empty());
    for (const std::string& path : gone)
        EXPECT_FALSE(Exists(path)) << path;
    for (const std::string& path : kept)
        EXPECT_EQ(ReadFile(path), "kept") << path;
}

TEST_F(UserFolderSweep, AWholePlayedGameIsPutInPlaceAndACutOneRemoved)
{
    const std::string game = FirstGame();
    const std::string played = m_folder + "/played games/";
    Write(Temporary("/played games", "2026-12-10 101500 Ann vs Computer.pgn", m_gone), game);
    // Its name was taken since: the other game stays as it is.
    Write(played + "2026-12-10 101700 Ann vs Bob.pgn", "another game");
    Write(Temporary("/played games", "2026-12-10 101700 Ann vs Bob.pgn", m_gone, 1), game + "\n\n");
    Write(Temporary("/played games", "2026-12-10 102000 Ann vs Cy.pgn", m_gone), game.substr(0, game.size() - 2));
    Write(Temporary("/played games", "2026-12-10 103000 Ann vs Di.pgn", m_live), game);

    const std::vector<CString> placed = SweepUserFolder(m_folder.c_str());
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(ReadFile(played + "2026-12-10 101500 Ann vs Computer.pgn"), game);
    EXPECT_EQ(ReadFile(played + "2026-12-10 101700 Ann vs Bob.pgn"), "another game");
    EXPECT_EQ(ReadFile(played + "2026-12-10 101700 Ann vs Bob (2).pgn"), game + "\n\n");
    EXPECT_FALSE(Exists(played + "2026-12-10 102000 Ann vs Cy.pgn"));
    EXPECT_FALSE(Exists(Temporary("/played games", "2026-12-10 102000 Ann vs Cy.pgn", m_gone)));
    EXPECT_FALSE(Exists(played + "2026-12-10 103000 Ann vs Di.pgn")) << "its writer may still finish it";
    EXPECT_EQ(ReadFile(Temporary("/played games", "2026-12-10 103000 Ann vs Di.pgn", m_live)), game);
    EXPECT_TRUE(SweepUserFolder(m_folder.c_str()).empty()) << "nothing left for a second start";
}

TEST(WholePgnGame, OnlyTheWholeTextReadsToItsResult)
{
    const std::string game = FirstGame();
    EXPECT_TRUE(IsWholePgnGame(game.c_str()));
    // Every cut, wherever a kill leaves it.
    for (size_t length = 0; length + 1 < game.size(); ++length)
        EXPECT_FALSE(IsWholePgnGame(game.substr(0, length).c_str())) << length;
    EXPECT_TRUE(IsWholePgnGame("[White \"Ann\"]\n[Result \"0-1\"]\n\n0-1\n")) << "resigned before a move";
    EXPECT_TRUE(IsWholePgnGame("[Result \"1/2-1/2\"]\n\n1. e4 e5 1/2-1/2\n"));
    EXPECT_FALSE(IsWholePgnGame("[Result \"1-0\"]\n\n1. e4 e5 0-1\n")) << "not the result of its tags";
    EXPECT_FALSE(IsWholePgnGame("[White \"Ann\"]\n\n1. e4 e5 1-0\n")) << "no result tag";
}
