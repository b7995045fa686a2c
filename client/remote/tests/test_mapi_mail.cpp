// The mail sender with "mail.command" pointing at a recording script: what
// the mail program is given, argument by argument, and the attachment
// copies it finds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "client/core/ChildProcess.h"
#include "client/remote/MapiMail.h"
#include "client/remote/tests/support/RemoteFixture.h"

using namespace RemoteTest;
using Zorlin::CString;

namespace {

class MailSender : public ::testing::Test {
protected:
    static void SetUpTestSuite() { StartToolkit(); }

    // The copies for the mail program are left behind by design: they go
    // into the test's own folder here.
    // Not named as the client names its mail folders: a client starting in
    // another test would take this one for a leftover of its own.
    MailSender() : m_temp("mailsender"), m_folder(m_temp.Path()) {}

    // A mail program that writes its arguments (each ended by a zero byte),
    // its working folder and a copy of every attached file, then ends with
    // status.
    std::string MakeRecorder(int status, double sleepSeconds = 0)
    {
        const std::string path = m_folder + "/record-mail";
        WriteWholeFile(path, "#!/usr/bin/env python3\n"
                             "import os, shutil, sys, time\n"
                             "record = " + Quote(m_folder + "/record") + "\n"
                             "with open(record + '.args', 'wb') as out:\n"
                             "    for a in sys.argv[1:]:\n"
                             "        out.write(os.fsencode(a) + b'\\0')\n"
                             "with open(record + '.cwd', 'w') as out:\n"
                             "    out.write(os.getcwd())\n"
                             "n = 0\n"
                             "for i, a in enumerate(sys.argv[:-1]):\n"
                             "    if a == '--attach':\n"
                             "        shutil.copyfile(sys.argv[i + 1], record + '.att%d' % n)\n"
                             "        n += 1\n"
                             "time.sleep(" + std::to_string(sleepSeconds) + ")\n"
                             "sys.exit(" + std::to_string(status) + ")\n");
        chmod(path.c_str(), 0755);
        m_services.m_programSettings.GetValue(".mail.command") = path.c_str();
        return path;
    }
    static std::string Quote(const std::string& text) { return "'" + text + "'"; }

    std::vector<std::string> RecordedArgs() const
    {
        std::vector<std::string> args;
        const std::string bytes = ReadWholeFile(m_folder + "/record.args");
        size_t start = 0;
        for (size_t end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
            args.push_back(bytes.substr(start, end - start));
        return args;
    }
    // The names in the temporary folder that attachment folders take.
    std::vector<std::string> MailFolders() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_folder)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("rookwell-mail-", 0) == 0)
                names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Source(const std::string& name, const std::string& bytes)
    {
        const std::string path = m_folder + "/sources/" + name;
        WriteWholeFile(path, bytes);
        return path;
    }
    static CMapiMail::SRecipient To(const char* address, uint32_t kind = 0, const char* name = "")
    {
        CMapiMail::SRecipient recipient;
        recipient.name = name;
        recipient.address = address;
        recipient.recipientClass = kind;
        return recipient;
    }

    CTestServices m_services;
    RookwellTest::CScopedTempDir m_temp;
    std::string m_folder;
};

} // namespace

TEST_F(MailSender, HandsEverythingOverAsSeparateArguments)
{
    MakeRecorder(0);
    CMapiMail mail;
    ASSERT_TRUE(mail.m_usable) << mail.m_log.GetText();
    mail.m_recipients.push_back(To("bob@example.org", 0, "Bob"));
    mail.m_recipients.push_back(To("carol@example.org", 1));
    mail.m_recipients.push_back(To("dave@example.org", 2));
    // Nothing here may reach a shell: quotes, dollars, back-ticks stay text.
    mail.m_subject = "Your move: $(touch pwned) `id` \"quoted\"";
    mail.m_body = "Line one\nLine two; rm -rf ~\n";
    CMapiMail::SAttachment turn, profile;
    turn.path = Source("tmp-1234.bin", "turn bytes").c_str();
    turn.fileName = "turn.rwf";
    profile.path = Source("other.bin", "profile bytes").c_str();
    profile.fileName = "Profile.rwf";
    mail.m_attachments = {turn, profile};

    ASSERT_TRUE(mail.Send()) << mail.m_log.GetText();
    const std::vector<std::string> args = RecordedArgs();
    ASSERT_EQ(args.size(), 13u);
    EXPECT_EQ(args[0], "--subject");
    EXPECT_EQ(args[1], mail.m_subject.GetText());
    EXPECT_EQ(args[2], "--body");
    EXPECT_EQ(args[3], mail.m_body.GetText());
    EXPECT_EQ(args[4], "--cc");
    EXPECT_EQ(args[5], "carol@example.org");
    EXPECT_EQ(args[6], "--bcc");
    EXPECT_EQ(args[7], "dave@example.org");
    EXPECT_EQ(args[8], "--attach");
    EXPECT_EQ(args[10], "--attach");
    EXPECT_EQ(args[12], "bob@example.org");
    // The copies carry the wanted names, side by side in one new folder,
    // which is also where the command ran.
    const std::filesystem::path first(args[9]), second(args[11]);
    EXPECT_EQ(first.filename(), "turn.rwf");
    EXPECT_EQ(second.filename(), "Profile.rwf");
    EXPECT_EQ(first.parent_path(), second.parent_path());
    EXPECT_EQ(first.parent_path().parent_path(), m_folder);
    EXPECT_EQ(ReadWholeFile(m_folder + "/record.cwd"), first.parent_path().string());
    EXPECT_EQ(ReadWholeFile(m_folder + "/record.att0"), "turn bytes");
    EXPECT_EQ(ReadWholeFile(m_folder + "/record.att1"), "profile bytes");
    // The copies stay for the mail program to read.
    EXPECT_EQ(ReadWholeFile(args[9]), "turn bytes");
    EXPECT_FALSE(FileExists("pwned"));
    EXPECT_FALSE(FileExists(first.parent_path().string() + "/pwned"));
    EXPECT_NE(std::string(mail.m_log.GetText()).find("Send Result= 00000000"), std::string::npos);
    RemoveTree(first.parent_path().string());
}

TEST_F(MailSender, FailingCommandFailsTheSendWithItsStatusLogged)
{
    MakeRecorder(3);
    CMapiMail mail;
    mail.m_recipients.push_back(To("bob@example.org"));
    EXPECT_FALSE(mail.Send());
    EXPECT_NE(std::string(mail.m_log.GetText()).find("Send Result= 00000003"), std::string::npos)
        << mail.m_log.GetText();
    EXPECT_EQ(RecordedArgs(), std::vector<std::string>{"bob@example.org"});
    EXPECT_EQ(MailFolders(), std::vector<std::string>{}) << "a refused mail leaves no copies";
}

TEST_F(MailSender, RefusesBeforeRunningAnything)
{
    MakeRecorder(0);
    {
        CMapiMail mail;
        EXPECT_FALSE(mail.Send());
        EXPECT_NE(std::string(mail.m_log.GetText()).find("No Recipients\n"), std::string::npos);
    }
    // An address the command would read as an option, or with a second
    // recipient smuggled in.
    for (const char* hostile : {"--attach=/etc/passwd", "-x@y", "a@b c@d", "bob@example.org\n--bcc", "nobody",
                                "@example.org", "bob@"}) {
        CMapiMail mail;
        mail.m_recipients.push_back(To("ok@example.org"));
        mail.m_recipients.push_back(To(hostile));
        EXPECT_FALSE(mail.Send()) << hostile;
    }
    {
        CMapiMail mail;
        mail.m_recipients.push_back(To("bob@example.org"));
        CMapiMail::SAttachment missing;
        missing.path = (m_folder + "/no-such-file").c_str();
        missing.fileName = "turn.rwf";
        mail.m_attachments.push_back(missing);
        EXPECT_FALSE(mail.Send());
        EXPECT_NE(std::string(mail.m_log.GetText()).find("Could not attach"), std::string::npos);
    }
    EXPECT_FALSE(FileExists(m_folder + "/record.args"));
    EXPECT_EQ(MailFolders(), std::vector<std::string>{});
}

TEST_F(MailSender, AttachmentNamesStayInsideTheirFolder)
{
    MakeRecorder(0);
    CMapiMail mail;
    mail.m_recipients.push_back(To("bob@example.org"));
    const char* wanted[] = {"../../escape.rwf", "turn.rwf", "turn.rwf", "..", "", "/etc/passwd"};
    for (const char* name : wanted) {
        CMapiMail::SAttachment a;
        a.path = Source("src", std::string("for ") + name).c_str();
        a.fileName = name;
        mail.m_attachments.push_back(a);
    }
    ASSERT_TRUE(mail.Send()) << mail.m_log.GetText();
    const std::vector<std::string> args = RecordedArgs();
    std::vector<std::string> copies;
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--attach")
            copies.push_back(args[i + 1]);
    ASSERT_EQ(copies.size(), 6u);
    const std::string folder = std::filesystem::path(copies[0]).parent_path().string();
    EXPECT_EQ(std::filesystem::path(copies[0]).filename(), "escape.rwf");
    EXPECT_EQ(std::filesystem::path(copies[1]).filename(), "turn.rwf");
    EXPECT_EQ(std::filesystem::path(copies[2]).filename(), "turn.rwf");
    EXPECT_NE(copies[1], copies[2]);
    for (const std::string& copy : copies) {
        const std::string canonical = std::filesystem::weakly_canonical(copy).string();
        EXPECT_EQ(canonical.rfind(folder + "/", 0), 0u) << copy;
        EXPECT_NE(std::filesystem::path(copy).filename().string()[0], '.') << copy;
    }
    EXPECT_EQ(ReadWholeFile(copies[5]), "for /etc/passwd");
    EXPECT_FALSE(FileExists(std::filesystem::path(folder).parent_path().parent_path().string() + "/escape.rwf"));
    RemoveTree(folder);
}

TEST_F(MailSender, MissingCommandMakesTheSenderUnusable)
{
    m_services.m_programSettings.GetValue(".mail.command") = "no-such-mail-program-here";
    CMapiMail mail;
    EXPECT_FALSE(mail.m_usable);
    mail.m_recipients.push_back(To("bob@example.org"));
    EXPECT_FALSE(mail.Send());
    EXPECT_NE(std::string(mail.m_log.GetText()).find("not found"), std::string::npos);
}

TEST_F(MailSender, BareCommandNameIsFoundAlongThePath)
{
    const std::string recorder = MakeRecorder(0);
    m_services.m_programSettings.GetValue(".mail.command") = "record-mail";
    const char* old = getenv("PATH");
    const std::string saved = old ? old : "";
    setenv("PATH", ("/nonexistent:" + m_folder + ":" + saved).c_str(), 1);
    CMapiMail mail;
    setenv("PATH", saved.c_str(), 1);
    ASSERT_TRUE(mail.m_usable);
    EXPECT_STREQ(mail.m_command.GetText(), recorder.c_str());
    mail.m_recipients.push_back(To("bob@example.org"));
    EXPECT_TRUE(mail.Send()) << mail.m_log.GetText();
    EXPECT_EQ(RecordedArgs(), std::vector<std::string>{"bob@example.org"});
}

TEST_F(MailSender, CommandStillRunningIsLeftWithTheMail)
{
    MakeRecorder(0, 1.0);
    CMapiMail mail;
    mail.m_waitMs = 200;
    mail.m_recipients.push_back(To("bob@example.org"));
    EXPECT_TRUE(mail.Send());
    EXPECT_NE(std::string(mail.m_log.GetText()).find("still running"), std::string::npos);
    // It was not killed: it ends by itself, and is then freed.
    EXPECT_TRUE(PumpUntil([] { return CMapiMail::ReleaseFinished() == 0; }, 10000));
    EXPECT_TRUE(FileExists(m_folder + "/record.args"));
    // Ended, the mail program has read its copies: they go.
    EXPECT_EQ(MailFolders(), std::vector<std::string>{});
}

TEST_F(MailSender, AStartRemovesTheFoldersOfClientsThatHaveGone)
{
    // A process that has ended, and one that runs (this test's parent).
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    ASSERT_GT(child, 0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    const std::string gone = m_folder + "/rookwell-mail-" + std::to_string(child) + "-Ab12Cd";
    WriteWholeFile(gone + "/move 1 (white).rwf", "turn");
    WriteWholeFile(gone + "/2/move 1 (white).rwf", "turn");
    const std::string older = m_folder + "/rookwell-mail-Xy34Zw";
    WriteWholeFile(older + "/invite.rwf", "invite");
    const std::string running = m_folder + "/rookwell-mail-" + std::to_string(getppid()) + "-Ef56Gh";
    WriteWholeFile(running + "/invite.rwf", "invite");
    // Not folders of ours: a link to elsewhere and a plain file.
    const std::string elsewhere = m_folder + "/elsewhere";
    WriteWholeFile(elsewhere + "/keep.txt", "keep");
    ASSERT_EQ(symlink(elsewhere.c_str(), (m_folder + "/rookwell-mail-1-link").c_str()), 0);
    WriteWholeFile(m_folder + "/rookwell-mail-file", "keep");

    EXPECT_EQ(CMapiMail::RemoveStaleFolders(), 2);
    std::vector<std::string> kept = {"rookwell-mail-" + std::to_string(getppid()) + "-Ef56Gh", "rookwell-mail-1-link",
                                     "rookwell-mail-file"};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(MailFolders(), kept);
    EXPECT_TRUE(FileExists(elsewhere + "/keep.txt"));
    EXPECT_TRUE(FileExists(running + "/invite.rwf"));
}

TEST(MailAddress, PlainAddressesOnly)
{
    EXPECT_TRUE(CMapiMail::IsMailAddress("bob@example.org"));
    EXPECT_TRUE(CMapiMail::IsMailAddress("a.b+c@d-e.example"));
    EXPECT_FALSE(CMapiMail::IsMailAddress("-bob@example.org"));
    EXPECT_FALSE(CMapiMail::IsMailAddress("bob@@example.org"));
    EXPECT_FALSE(CMapiMail::IsMailAddress("Bob <bob@example.org>"));
    EXPECT_FALSE(CMapiMail::IsMailAddress("bob@example.org,eve@example.org"));
    EXPECT_FALSE(CMapiMail::IsMailAddress(""));
}
