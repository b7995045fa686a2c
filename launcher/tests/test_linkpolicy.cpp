// The address policy against a real program folder on disk.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "launcher/LinkPolicy.h"

using LinkPolicy::Classify;

namespace {

class LinkPolicyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/linkpolicy-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_base = pattern;
        m_program = m_base + "/My Program";
        ASSERT_EQ(mkdir(m_program.c_str(), 0755), 0);
        ASSERT_EQ(mkdir((m_program + "/html").c_str(), 0755), 0);
        Touch(m_program + "/html/help page.htm");
        Touch(m_base + "/secret.txt");
        ASSERT_EQ(symlink((m_base + "/secret.txt").c_str(), (m_program + "/html/link.htm").c_str()), 0);
    }
    void TearDown() override { std::system(("rm -rf '" + m_base + "'").c_str()); }

    static void Touch(const std::string& path) { std::ofstream(path) << "x"; }

    LinkPolicy::ELinkKind Kind(const std::string& address)
    {
        std::string target;
        return Classify(address.c_str(), m_program.c_str(), target);
    }

    std::string m_base, m_program;
};

TEST_F(LinkPolicyTest, WebAndMailAddressesPassUnchanged)
{
    std::string target;
    const char* address = "https://example.org/a b?q=\"x\"&r=$(id)";
    EXPECT_EQ(Classify(address, m_program.c_str(), target), LinkPolicy::kWeb);
    EXPECT_EQ(target, address);
    EXPECT_EQ(Kind("HTTP://example.org/"), LinkPolicy::kWeb);
    EXPECT_EQ(Kind("mailto:someone@example.org?subject=Hi there"), LinkPolicy::kMail);
    // A scheme with nothing after it names nothing.
    EXPECT_EQ(Kind("http://"), LinkPolicy::kRefused);
    EXPECT_EQ(Kind("mailto:"), LinkPolicy::kRefused);
}

TEST_F(LinkPolicyTest, OtherSchemesAndOddTextAreRefused)
{
    for (const char* address : {"", "javascript:alert(1)", "ftp://example.org/", "smb://host/share",
                                "vbscript:x", "data:text/html,hi", "file://otherhost/etc/passwd",
                                "https://example.org/\nsecond line", "http://a\tb"})
        EXPECT_EQ(Kind(address), LinkPolicy::kRefused) << address;
    std::string target;
    EXPECT_EQ(Classify(nullptr, m_program.c_str(), target), LinkPolicy::kRefused);
}

TEST_F(LinkPolicyTest, DocumentsInsideTheProgramFolderOpen)
{
    std::string url = "file:///" + m_program + "/html/help page.htm#Anchor";
    std::string target;
    EXPECT_EQ(Classify(url.c_str(), m_program.c_str(), target), LinkPolicy::kDocument);
    EXPECT_EQ(target, url);  // the anchor stays for the browser
    // The help pages' own form: blanks escaped, four slashes before an absolute path.
    std::string escaped = "file:///" + m_program + "/html/help%20page.htm";
    size_t blank = escaped.find("My Program");
    escaped.replace(blank, 10, "My%20Program");
    EXPECT_EQ(Kind(escaped), LinkPolicy::kDocument);
    EXPECT_EQ(Kind("file://localhost" + m_program + "/html/help page.htm"), LinkPolicy::kDocument);
    // A plain relative path is a document of the program folder, opened by its real path.
    EXPECT_EQ(Classify("html/help page.htm", m_program.c_str(), target), LinkPolicy::kDocument);
    EXPECT_EQ(target, m_program + "/html/help page.htm");
}

TEST_F(LinkPolicyTest, FilesOutsideTheProgramFolderAreRefused)
{
    EXPECT_EQ(Kind("file://" + m_base + "/secret.txt"), LinkPolicy::kRefused);
    EXPECT_EQ(Kind(m_base + "/secret.txt"), LinkPolicy::kRefused);
    EXPECT_EQ(Kind("file://" + m_program + "/../secret.txt"), LinkPolicy::kRefused);
    EXPECT_EQ(Kind("file://" + m_program + "/%2e%2e/secret.txt"), LinkPolicy::kRefused);
    EXPECT_EQ(Kind("../secret.txt"), LinkPolicy::kRefused);
    // A link inside the folder that points out of it.
    EXPECT_EQ(Kind("file://" + m_program + "/html/link.htm"), LinkPolicy::kRefused);
    // A sibling whose name starts with the folder's name is not inside it.
    std::string sibling = m_program + " Two";
    ASSERT_EQ(mkdir(sibling.c_str(), 0755), 0);
    Touch(sibling + "/x.htm");
    EXPECT_EQ(Kind("file://" + sibling + "/x.htm"), LinkPolicy::kRefused);
    // Missing documents, broken escapes and an escaped zero byte.
    EXPECT_EQ(Kind("file://" + m_program + "/html/none.htm"), LinkPolicy::kRefused);
    EXPECT_EQ(Kind("file://" + m_program + "/html/help%2"), LinkPolicy::kRefused);
    EXPECT_EQ(Kind("file://" + m_program + "/html/help%00page.htm"), LinkPolicy::kRefused);
    EXPECT_EQ(Kind("file:html/help page.htm"), LinkPolicy::kRefused);
}

} // namespace

// A program folder the user cannot write: the user's own data folder holds
// their games, whose folders the side panel opens; nothing else is added.
TEST_F(LinkPolicyTest, TheUsersOwnFolderOpensBesideTheProgramFolder)
{
    const std::string own = m_base + "/home/rookwell";
    ASSERT_EQ(std::system(("mkdir -p '" + own + "/users/tester/played games'").c_str()), 0);
    const std::string games = own + "/users/tester/played games";
    std::string target;
    EXPECT_EQ(Classify(games.c_str(), m_program.c_str(), own.c_str(), target), LinkPolicy::kDocument);
    EXPECT_EQ(target, games);
    EXPECT_EQ(Classify(games.c_str(), m_program.c_str(), "", target), LinkPolicy::kRefused);
    EXPECT_EQ(Classify(("file://" + m_program + "/html/help page.htm").c_str(), m_program.c_str(), own.c_str(), target),
              LinkPolicy::kDocument);
    EXPECT_EQ(Classify((m_base + "/secret.txt").c_str(), m_program.c_str(), own.c_str(), target), LinkPolicy::kRefused);
    EXPECT_EQ(Classify((own + "/../../secret.txt").c_str(), m_program.c_str(), own.c_str(), target),
              LinkPolicy::kRefused);
}
