// The single-client lock and the bytes a second start hands over.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <wx/init.h>

#include "client/core/InstanceLock.h"
#include "client/core/SingleInstance.h"
#include "client/core/tests/support/InstancePlaces.h"
#include "foundation/DiskDrive.h"
#include "testsupport/TempFiles.h"

using Zorlin::CString;

namespace {

std::vector<CString> RoundTrip(const std::vector<CString>& files)
{
    const std::vector<char> bytes = WriteHandOver(files);
    std::vector<CString> read;
    EXPECT_TRUE(ReadHandOver(bytes.data(), bytes.size(), read));
    return read;
}

bool Reads(const std::string& bytes)
{
    std::vector<CString> files;
    return ReadHandOver(bytes.data(), bytes.size(), files);
}

} // namespace

TEST(HandOver, FilesArriveAsTheirBytes)
{
    EXPECT_TRUE(RoundTrip({}).empty()) << "a start without files only raises the client";
    const std::vector<CString> files = {"/home/ann/club night.pgn", "/tmp/\xe9t\xe9/turn.rwf", "/x"};
    const std::vector<CString> read = RoundTrip(files);
    ASSERT_EQ(read.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(read[i], files[i]);
}

TEST(HandOver, WhatNoStartOfOursSendsIsRefused)
{
    const std::vector<char> good = WriteHandOver({"/a.pgn"});
    const std::string tag(good.data(), good.size() - 7);
    EXPECT_TRUE(Reads(tag + "/a.pgn" + std::string(1, '\0')));
    EXPECT_FALSE(Reads(""));
    EXPECT_FALSE(Reads(std::string("other", 6) + "/a.pgn" + std::string(1, '\0'))) << "another tag";
    EXPECT_FALSE(Reads(tag + "a.pgn" + std::string(1, '\0'))) << "a relative name";
    EXPECT_FALSE(Reads(tag + "/a.pgn")) << "an unended name";
    EXPECT_FALSE(Reads(tag + "/a" + std::string(2, '\0'))) << "an empty name";
    std::string many = tag;
    for (int i = 0; i <= kMaxHandedFiles; ++i)
        many += "/f" + std::string(1, '\0');
    EXPECT_FALSE(Reads(many)) << "too many files";
    EXPECT_FALSE(Reads(tag + "/" + std::string(kMaxHandOverBytes, 'a') + std::string(1, '\0'))) << "too long";
}

TEST(HandOver, AStartWithMoreFilesThanFitNamesEachOneLeftOutOnALineOfItsOwn)
{
    std::vector<CString> files;
    for (int i = 0; i < 200; ++i) {
        CString name;
        name.AppendFormat("/home/ann/game %03d.pgn", i);
        files.push_back(name);
    }
    files[150] = "/home/ann/two\nlines.pgn";
    const std::vector<CString> fit = FitHandOver(files);
    ASSERT_EQ(fit.size(), size_t(kMaxHandedFiles));
    const std::string text = LeftOutText(files, fit.size()).GetText();
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    ASSERT_EQ(lines.size(), 1u + 200 - 64) << text;
    EXPECT_EQ(lines[0], "Of 200 files, the first 64 are handed over; Rookwell opens the first.");
    EXPECT_EQ(lines[1], "Left out: /home/ann/game 064.pgn");
    EXPECT_EQ(lines[1 + 150 - 64], "Left out: /home/ann/two\\x0alines.pgn") << "a name stays one line";
    EXPECT_EQ(lines.back(), "Left out: /home/ann/game 199.pgn");
    EXPECT_EQ(text.back(), '\n');

    EXPECT_EQ(LeftOutText(fit, fit.size()), "") << "nothing is said when all fit";
    const std::vector<CString> huge = {CString(("/" + std::string(kMaxHandOverBytes, 'a')).c_str()), "/b.pgn"};
    const std::string none = LeftOutText(huge, FitHandOver(huge).size()).GetText();
    EXPECT_EQ(none.substr(0, none.find('\n')), "None of the 2 files is handed over; Rookwell is only raised.");
    EXPECT_NE(none.find("\nLeft out: /b.pgn\n"), std::string::npos) << none.substr(none.size() - 40);
}

TEST(HandOver, AnswersTellRefusalsAndNothingElse)
{
    bool accepted = false;
    CString why;
    const std::vector<char> yes = WriteAnswer(true);
    ASSERT_TRUE(ReadAnswer(yes.data(), yes.size(), accepted, why));
    EXPECT_TRUE(accepted);
    const std::vector<char> no = WriteAnswer(false, "it was sent from another account");
    ASSERT_TRUE(ReadAnswer(no.data(), no.size(), accepted, why));
    EXPECT_FALSE(accepted);
    EXPECT_EQ(why, "it was sent from another account");
    const std::vector<char> long_ = WriteAnswer(false, CString(std::string(5000, 'a').c_str()));
    EXPECT_LE(long_.size(), kMaxAnswerBytes) << "a reason is cut to the bound";
    std::string escape(no.data(), no.size());
    escape += "\x1b[2J";
    EXPECT_FALSE(ReadAnswer(escape.data(), escape.size(), accepted, why)) << "control bytes in a reason";
    EXPECT_FALSE(ReadAnswer("done", 5, accepted, why)) << "what the toolkit's channel answered";
}

TEST(InstanceName, OnePerProgramFolderAndUser)
{
    EXPECT_EQ(InstanceName("/opt/rookwell", 1000), InstanceName("/opt/rookwell/", 1000));
    EXPECT_NE(InstanceName("/opt/rookwell", 1000), InstanceName("/tmp/copy/program", 1000));
    EXPECT_NE(InstanceName("/opt/rookwell", 1000), InstanceName("/opt/rookwell", 1001));
}

class StaleLock : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_places.IsReady()); }
    // What a client left in its lock: its socket's path, or, as older
    // clients did, the holder's process number as text; none for a file cut
    // before it was written.
    void WriteLock(const std::string& text)
    {
        const std::string path = m_places.LockPath();
        ASSERT_TRUE(Zorlin::MakePrivateFolders(CString(path.substr(0, path.rfind('/')).c_str())));
        RookwellTest::WriteWholeFile(path, text);
    }
    bool Claim()
    {
        CSingleInstance instance(m_places.m_program.c_str());
        CString problem;
        const bool claimed = instance.Claim({}, [](const std::vector<CString>&) {}, problem);
        EXPECT_TRUE(problem.IsEmpty()) << problem.GetText();
        return claimed;
    }

    wxInitializer m_toolkit;
    InstanceTest::CInstancePlaces m_places;
};

TEST_F(StaleLock, ADeadClientsLockNeverStopsAStart)
{
    const pid_t ended = fork();
    if (ended == 0)
        _exit(0);
    waitpid(ended, nullptr, 0);
    WriteLock(std::to_string(ended) + std::string(1, '\0'));
    EXPECT_TRUE(Claim());
    // Its process number now names another program that holds no lock.
    const pid_t other = fork();
    if (other == 0) {
        pause();
        _exit(0);
    }
    WriteLock(std::to_string(other) + std::string(1, '\0'));
    EXPECT_TRUE(Claim());
    kill(other, SIGKILL);
    waitpid(other, nullptr, 0);
    WriteLock("");
    EXPECT_TRUE(Claim());
    WriteLock(m_places.m_runtime + "/rookwell-gone/hand-over\n");
    EXPECT_TRUE(Claim()) << "the socket of a client long gone";
}

TEST_F(StaleLock, AKilledClientsLockAndFolderGoAtTheNextStart)
{
    // A client that took the lock and made its socket, then was killed.
    InstanceTest::CChild killed([this] {
        CSingleInstance instance(m_places.m_program.c_str());
        CString problem;
        instance.Claim({}, [](const std::vector<CString>&) {}, problem);
        kill(getpid(), SIGKILL);
        return std::string();
    });
    killed.Wait();
    const std::string left = m_places.Record();
    ASSERT_TRUE(RookwellTest::FileExists(left)) << "the killed client's socket: " << left;
    EXPECT_TRUE(Claim());
    EXPECT_FALSE(RookwellTest::FileExists(left.substr(0, left.rfind('/')))) << "its folder is cleared away";
}

TEST(InstanceLock, OfManyStartsAtOnceExactlyOneTakesIt)
{
    InstanceTest::CInstancePlaces places;
    ASSERT_TRUE(places.IsReady());
    const CString folder((places.m_base + "/locks").c_str());
    const int kStarts = 10;
    for (int round = 0; round < 5; ++round) {
        int go[2], results[2], end[2];
        ASSERT_EQ(pipe(go), 0);
        ASSERT_EQ(pipe(results), 0);
        ASSERT_EQ(pipe(end), 0);
        std::vector<pid_t> starts;
        for (int i = 0; i < kStarts; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                close(go[1]);
                close(end[1]);
                char c;
                while (read(go[0], &c, 1) < 0 && errno == EINTR) {
                }
                CInstanceLock lock(folder, "race.lock");
                const char result = !lock.Open() ? 'f' : lock.Take() ? 't' : 'h';
                ssize_t n = write(results[1], &result, 1);
                (void)n;
                // Held until every start has tried.
                while (read(end[0], &c, 1) < 0 && errno == EINTR) {
                }
                _exit(0);
            }
            starts.push_back(pid);
        }
        close(go[0]);
        close(go[1]); // all go at once
        close(results[1]);
        std::string seen;
        char piece[16];
        for (ssize_t n; seen.size() < size_t(kStarts) && (n = read(results[0], piece, sizeof piece)) > 0;)
            seen.append(piece, size_t(n));
        close(end[1]);
        for (pid_t pid : starts)
            waitpid(pid, nullptr, 0);
        close(results[0]);
        close(end[0]);
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 't'), 1) << seen;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 'h'), kStarts - 1) << seen;
    }
}
