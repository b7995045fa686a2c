// The real linkhop in a temporary program folder, with a fake xdg-open on
// PATH that records the arguments it was given.

#include <gtest/gtest.h>

#include "launcher/Launcher.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

class LinkhopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/linkhop-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_base = pattern;
        m_program = m_base + "/program folder";
        m_bin = m_base + "/bin";
        m_record = m_base + "/record";
        ASSERT_EQ(mkdir(m_program.c_str(), 0755), 0);
        ASSERT_EQ(mkdir(m_bin.c_str(), 0755), 0);
        ASSERT_EQ(std::system(("cp '" LINKHOP_PROGRAM "' '" + m_program + "/linkhop'").c_str()), 0);
        std::ofstream(m_program + "/readme.htm") << "hello";
        std::ofstream(m_base + "/private.txt") << "no";
        std::ofstream opener(m_bin + "/xdg-open");
        opener << "#!/bin/sh\nprintf '%s\\0' \"$@\" >> \"$LINKHOP_RECORD\"\nprintf '\\n' >> \"$LINKHOP_RECORD\"\n";
        opener.close();
        chmod((m_bin + "/xdg-open").c_str(), 0755);
    }
    void TearDown() override { std::system(("rm -rf '" + m_base + "'").c_str()); }

    // Runs linkhop with the arguments; returns its exit code.
    int Run(const std::vector<std::string>& arguments, const std::string& browser = "")
    {
        // Only the test's own programs: the machine's browsers stay out.
        std::vector<std::string> env = {"PATH=" + m_bin, "LINKHOP_RECORD=" + m_record};
        if (!browser.empty())
            env.push_back("BROWSER=" + browser);
        std::vector<char*> envp;
        for (auto& e : env)
            envp.push_back(&e[0]);
        envp.push_back(nullptr);
        std::string program = m_program + "/linkhop";
        std::vector<std::string> args = {program};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        pid_t pid;
        if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0)
            return -1;
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Each call of the fake opener: its arguments.
    std::vector<std::vector<std::string>> Calls()
    {
        std::ifstream in(m_record, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        std::vector<std::vector<std::string>> calls;
        std::string line;
        std::istringstream lines(all.str());
        while (std::getline(lines, line)) {
            std::vector<std::string> call;
            size_t start = 0, zero;
            while ((zero = line.find('\0', start)) != std::string::npos) {
                call.push_back(line.substr(start, zero - start));
                start = zero + 1;
            }
            calls.push_back(call);
        }
        return calls;
    }

    std::string m_base, m_program, m_bin, m_record;
};

TEST_F(LinkhopTest, AddressesArriveWholeAsOneArgument)
{
    std::string marker = m_base + "/ran";
    std::vector<std::string> addresses = {
        "https://example.org/search?q=two words&lang=en",
        "http://example.org/\"quoted\" 'single'",
        "https://example.org/$(touch " + marker + ")`touch " + marker + "`;touch " + marker,
        "mailto:someone@example.org?subject=A game & more",
    };
    for (const auto& address : addresses)
        EXPECT_EQ(Run({address, "ignored second"}), 1);
    auto calls = Calls();
    ASSERT_EQ(calls.size(), addresses.size());
    for (size_t i = 0; i < addresses.size(); ++i) {
        ASSERT_EQ(calls[i].size(), 1u);
        EXPECT_EQ(calls[i][0], addresses[i]);
    }
    EXPECT_NE(access(marker.c_str(), F_OK), 0) << "a shell ran part of an address";
}

TEST_F(LinkhopTest, OnlyProgramFolderDocumentsOpen)
{
    EXPECT_EQ(Run({"file://" + m_program + "/readme.htm"}), 1);
    EXPECT_EQ(Run({"readme.htm"}), 1);
    EXPECT_EQ(Run({"file://" + m_base + "/private.txt"}), 1);
    EXPECT_EQ(Run({m_program + "/../private.txt"}), 1);
    EXPECT_EQ(Run({"javascript:alert(1)"}), 1);
    EXPECT_EQ(Run({"--help"}), 1);
    auto calls = Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], std::vector<std::string>{"file://" + m_program + "/readme.htm"});
    EXPECT_EQ(calls[1], std::vector<std::string>{m_program + "/readme.htm"});
}

// Without a working xdg-open the named browsers are tried; when none opens
// the address the client is told so.
TEST_F(LinkhopTest, BrowsersAreTriedWhenXdgOpenFails)
{
    std::ofstream(m_bin + "/xdg-open") << "#!/bin/sh\nexit 3\n";
    const std::string address = "file://" + m_program + "/readme.htm";
    EXPECT_EQ(Run({address}), LinkPolicy::kNotOpened);
    EXPECT_TRUE(Calls().empty());

    std::ofstream browser(m_bin + "/my browser");
    browser << "#!/bin/sh\nprintf '%s\\0' \"$@\" >> \"$LINKHOP_RECORD\"\nprintf '\\n' >> \"$LINKHOP_RECORD\"\n";
    browser.close();
    chmod((m_bin + "/my browser").c_str(), 0755);
    EXPECT_EQ(Run({address}, "missing-browser:my browser"), 1);
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0], std::vector<std::string>{address});
}

TEST_F(LinkhopTest, NothingToOpenStillEndsWithOne)
{
    EXPECT_EQ(Run({}), 1);
    EXPECT_EQ(Run({""}), 1);
    EXPECT_TRUE(Calls().empty());
}

} // namespace
