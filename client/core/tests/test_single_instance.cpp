// The single-client lock and the bytes a second start hands over.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <wx/init.h>

#include "client/core/SingleInstance.h"

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

TEST(InstanceName, OnePerProgramFolderAndUser)
{
    EXPECT_EQ(InstanceName("/opt/rookwell", 1000), InstanceName("/opt/rookwell/", 1000));
    EXPECT_NE(InstanceName("/opt/rookwell", 1000), InstanceName("/tmp/copy/program", 1000));
    EXPECT_NE(InstanceName("/opt/rookwell", 1000), InstanceName("/opt/rookwell", 1001));
}

class StaleLock : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/instance-XXXXXX";
        m_runtime = mkdtemp(pattern);
        setenv("XDG_RUNTIME_DIR", m_runtime.c_str(), 1);
        m_program = m_runtime + "/program";
        mkdir(m_program.c_str(), 0755);
    }
    void TearDown() override { std::system(("rm -rf '" + m_runtime + "'").c_str()); }
    // A lock file as the toolkit writes one: the holder's process number
    // as text; none for a file cut before it was written.
    void WriteLock(pid_t pid)
    {
        char* real = realpath(m_program.c_str(), nullptr);
        const std::string path = m_runtime + "/" + InstanceName(real, unsigned(getuid())).GetText() + ".lock";
        free(real);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        const std::string text = pid ? std::to_string(pid) + std::string(1, '\0') : std::string();
        ASSERT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
        close(fd);
    }
    bool Claim()
    {
        CSingleInstance instance(m_program.c_str());
        CString problem;
        const bool claimed = instance.Claim({}, [](const std::vector<CString>&) {}, problem);
        EXPECT_TRUE(problem.IsEmpty()) << problem.GetText();
        return claimed;
    }

    wxInitializer m_toolkit;
    std::string m_runtime;
    std::string m_program;
};

TEST_F(StaleLock, ADeadClientsLockNeverStopsAStart)
{
    const pid_t ended = fork();
    if (ended == 0)
        _exit(0);
    waitpid(ended, nullptr, 0);
    WriteLock(ended);
    EXPECT_TRUE(Claim());
    // Its process number now names another program that holds no lock.
    const pid_t other = fork();
    if (other == 0) {
        pause();
        _exit(0);
    }
    WriteLock(other);
    EXPECT_TRUE(Claim());
    kill(other, SIGKILL);
    waitpid(other, nullptr, 0);
    WriteLock(0);
    EXPECT_TRUE(Claim());
}
