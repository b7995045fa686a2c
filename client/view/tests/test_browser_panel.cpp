// The web panel and the side panel in a real wxHtmlWindow under Xvfb: pages
// written beside their templates and loaded from there, link clicks that run
// commands, the launcher for outside addresses, and the shipped templates
// filled into a page that holds nothing unfilled.

#include <gtest/gtest.h>

#include <wx/frame.h>

#include "client/core/Prompt.h"
#include "client/dialogs/tests/support/GuiTest.h"
#include "client/view/BrowserPanel.h"
#include "client/view/WebPanel.h"
#include "client/view/tests/support/GuiLeaks.h"
#include "client/view/tests/support/HtmlFixture.h"
#include "client/view/tests/support/HtmlWindowProbe.h"

using HtmlTest::ClickLink;
using HtmlTest::HasLink;
using HtmlTest::OpenedPage;
using HtmlTest::PageText;
using Zorlin::CString;

namespace {

const std::string kSource = ROOKWELL_SOURCE;
const std::string kUtf8Meta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">";

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class WebPanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GuiTest::Start())
            GTEST_SKIP() << "no X display for GUI tests";
        frame = new wxFrame(nullptr, wxID_ANY, "test", wxDefaultPosition, wxSize(640, 480));
        prompt.Install();
    }
    void TearDown() override
    {
        if (frame)
            frame->Destroy();
        GuiTest::Pump();
    }

    CWebPanel* MakePanel()
    {
        CWebPanel* panel = new CWebPanel(frame, wxID_ANY);
        panel->SetSize(0, 0, 600, 440);
        frame->Show();
        return panel;
    }

    HtmlTest::CFixture fx;
    CScriptedPrompt prompt;
    wxFrame* frame = nullptr;
};

} // namespace

TEST_F(WebPanelTest, TemplateIsWrittenBesideItselfAndItsFirstLinkClickRuns)
{
    fx.WriteProgramFile("html/english/layout2.htm",
                        "<html><body><p>Hello *[username] *[gone]</p><a href=\"LNK menu GAME_ONLINE\">online</a>"
                        "</body></html>");
    fx.userSettings.GetValue("profile.name") = "Ann";
    CWebPanel* panel = MakePanel();
    ASSERT_TRUE(panel->ShowTemplate("layout2.htm"));
    EXPECT_EQ(HtmlTest::ReadFile(fx.language + "/_layout2.htm"),
              kUtf8Meta + "<html><body><p>Hello Ann </p><a href=\"LNK menu GAME_ONLINE\">online</a></body></html>");
    EXPECT_TRUE(EndsWith(OpenedPage(panel->GetBrowser()), "/html/english/_layout2.htm"))
        << OpenedPage(panel->GetBrowser());
    EXPECT_NE(PageText(panel->GetBrowser()).find("Hello Ann"), std::string::npos);
    EXPECT_FALSE(panel->IsOwnNavigationPending()) << "the load is over, the next navigation is the user's";

    ASSERT_TRUE(ClickLink(panel->GetBrowser(), "LNK menu GAME_ONLINE"));
    GuiTest::Pump();
    ASSERT_EQ(fx.commands.size(), 1u);
    EXPECT_EQ(fx.commands[0], "GAME_ONLINE");
    EXPECT_TRUE(EndsWith(OpenedPage(panel->GetBrowser()), "_layout2.htm")) << "a command loads nothing";
}

TEST_F(WebPanelTest, WebAndMailLinksOpenOutsideAndLoadNothing)
{
    fx.WriteProgramFile("html/english/layout2.htm",
                        "<html><body><a href=\"https://example.org/a b\">web</a> <a href=\"MAILTO:ann@example.org\">"
                        "mail</a> <a href=\"other.htm\">other</a></body></html>");
    fx.WriteProgramFile("html/english/other.htm", "<html><body>the other page</body></html>");
    CWebPanel* panel = MakePanel();
    ASSERT_TRUE(panel->ShowTemplate("layout2.htm"));
    ClickLink(panel->GetBrowser(), "https://example.org/a b");
    ClickLink(panel->GetBrowser(), "MAILTO:ann@example.org");
    GuiTest::Pump();
    EXPECT_EQ(fx.opened, (std::vector<std::string>{"https://example.org/a b", "MAILTO:ann@example.org"}));
    EXPECT_TRUE(EndsWith(OpenedPage(panel->GetBrowser()), "_layout2.htm"));
    // A page of our own loads in the panel.
    ClickLink(panel->GetBrowser(), "other.htm");
    GuiTest::Pump();
    EXPECT_TRUE(EndsWith(OpenedPage(panel->GetBrowser()), "/html/english/other.htm"));
    EXPECT_NE(PageText(panel->GetBrowser()).find("the other page"), std::string::npos);
}

TEST_F(WebPanelTest, GameLinksOpenThroughTheUserFolderWhenTheGameMayEnd)
{
    CWebPanel* panel = MakePanel();
    EXPECT_FALSE(panel->Navigate("LNK open 'active games/My Game 10.rwg', pgn \"played games/a, b.pgn\""));
    ASSERT_EQ(fx.games.size(), 1u);
    EXPECT_EQ(fx.games[0], fx.user + "/active games/My Game 10.rwg");
    ASSERT_EQ(fx.pgns.size(), 1u);
    EXPECT_EQ(fx.pgns[0], fx.user + "/played games/a, b.pgn");
    EXPECT_EQ(fx.closeQueries, 2);

    // A path cannot climb out of the user folder.
    panel->Navigate("LNK explore '../../../etc'");
    ASSERT_EQ(fx.explored.size(), 1u);
    EXPECT_EQ(fx.explored[0].rfind(fx.user + "/", 0), 0u) << fx.explored[0];

    fx.gameMayClose = false;
    panel->Navigate("LNK open 'active games/x.rwg'");
    EXPECT_EQ(fx.games.size(), 1u) << "the current game refused to end";
    // Unknown commands and commands without their argument do nothing.
    panel->Navigate("LNK launch rockets, menu, open");
    EXPECT_TRUE(fx.commands.empty());
    EXPECT_EQ(fx.games.size(), 1u);
}

TEST_F(WebPanelTest, SectionCommandsWriteTheSettingsAndRebuild)
{
    CWebPanel* panel = MakePanel();
    panel->Navigate("LNK reduce news,expand links");
    EXPECT_STREQ(fx.userSettings.GetValueOr("preferences.browser.expanded.news", "").GetText(), "no");
    EXPECT_STREQ(fx.userSettings.GetValueOr("preferences.browser.expanded.links", "").GetText(), "yes");
    EXPECT_EQ(fx.rebuilds, (std::vector<bool>{false, false}));

    prompt.QueueButton(wxNO);
    panel->Navigate("LNK close totd");
    EXPECT_FALSE(fx.userSettings.KeyExists("preferences.browser.active.totd"));
    prompt.QueueButton(wxYES);
    prompt.QueueButton(wxOK);
    panel->Navigate("LNK close totd");
    EXPECT_STREQ(fx.userSettings.GetValueOr("preferences.browser.active.totd", "").GetText(), "no");
    EXPECT_EQ(fx.rebuilds.size(), 3u);
    ASSERT_EQ(prompt.GetCount(), 3);
    EXPECT_STREQ(prompt.GetQuestion(0).text.GetText(), "Remove this section from the browser view?");
    EXPECT_STREQ(prompt.GetQuestion(0).caption.GetText(), "Remove Section");
    EXPECT_STREQ(prompt.GetQuestion(2).caption.GetText(), "Section Removed");
    EXPECT_EQ(prompt.GetUnexpectedCount(), 0);

    // Section names are single plain names, nothing that nests keys.
    panel->Navigate("LNK expand ../x, expand a.b");
    EXPECT_EQ(fx.rebuilds.size(), 3u);
}

TEST_F(WebPanelTest, EachPanelWritesItsOwnPageAndFindsThePlayerPictures)
{
    CWebPanel* first = MakePanel();
    CWebPanel* second = new CWebPanel(frame, wxID_ANY);
    second->SetSize(0, 0, 300, 200);
    EXPECT_STREQ(first->GetPageFileName().GetText(), "page.htm");
    EXPECT_STREQ(second->GetPageFileName().GetText(), "page2.htm");
    CHtmlText one, two;
    one = "<p>first *[VERSION_MAJOR].*[VERSION_MINOR]</p><img src=\"white.bmp\">";
    two = "<p>second</p>";
    first->ShowHtml(one);
    second->ShowHtml(two);
    std::string written = HtmlTest::ReadFile(fx.language + "/page.htm");
    EXPECT_EQ(written.find(kUtf8Meta + "<p>first 1.24</p><img src=\"file://"), 0u) << written;
    // The pictures are the user folder's, never the program folder's.
    EXPECT_NE(written.find("/users/tester/white.bmp\">"), std::string::npos) << written;
    EXPECT_EQ(HtmlTest::ReadFile(fx.language + "/page2.htm"), kUtf8Meta + "<p>second</p>");
    EXPECT_NE(PageText(first->GetBrowser()).find("first 1.24"), std::string::npos);
    EXPECT_NE(PageText(second->GetBrowser()).find("second"), std::string::npos);

    // A slot freed by a panel that went is taken by the next one.
    second->Destroy();
    GuiTest::Pump();
    CWebPanel* third = new CWebPanel(frame, wxID_ANY);
    third->SetSize(0, 0, 300, 200);
    EXPECT_STREQ(third->GetPageFileName().GetText(), "page2.htm");
}

TEST_F(WebPanelTest, PagesShowTheirTextInEveryCharacterItWasWritten)
{
    // The result row after a mate, a name with accents and one in Latin-1.
    const std::string result = "Checkmate \xE2\x80\x94 Black wins";
    const std::string name = "Zo\xC3\xAB \xC3\x85str\xC3\xB6m";
    fx.userSettings.GetValue("profile.name") = name.c_str();
    CWebPanel* panel = MakePanel();
    CHtmlText page;
    page = ("<html><head><title>t</title></head><body><table><tr><td>Result</td><td>" + result +
            "</td></tr><tr><td>*[username]</td></tr></table></body></html>").c_str();
    panel->ShowHtml(page);
    std::string shown = PageText(panel->GetBrowser());
    EXPECT_NE(shown.find(result), std::string::npos) << shown;
    EXPECT_NE(shown.find(name), std::string::npos) << shown;
    std::string written = HtmlTest::ReadFile(fx.language + "/page.htm");
    EXPECT_EQ(written.find("<html><head>" + kUtf8Meta + "<title>"), 0u) << written;

    page = "<p>Jos\xE9 M\xFCller</p>";
    panel->ShowHtml(page);
    EXPECT_NE(PageText(panel->GetBrowser()).find("Jos\xC3\xA9 M\xC3\xBCller"), std::string::npos)
        << PageText(panel->GetBrowser());
    EXPECT_EQ(HtmlTest::ReadFile(fx.language + "/page.htm"), kUtf8Meta + "<p>Jos\xC3\xA9 M\xC3\xBCller</p>");

    // A template's own page file, filled with the name.
    fx.WriteProgramFile("html/english/profile2.htm", "<html><body>Hello *[username]</body></html>");
    ASSERT_TRUE(panel->ShowTemplate("profile2.htm"));
    EXPECT_NE(PageText(panel->GetBrowser()).find("Hello " + name), std::string::npos)
        << PageText(panel->GetBrowser());
}

TEST_F(WebPanelTest, MissingTemplateKeepsThePreviousPage)
{
    fx.WriteProgramFile("html/english/layout2.htm", "<html><body>kept</body></html>");
    CWebPanel* panel = MakePanel();
    ASSERT_TRUE(panel->ShowTemplate("layout2.htm"));
    EXPECT_FALSE(panel->ShowTemplate("missing.htm"));
    EXPECT_FALSE(panel->ShowTemplate("nofolder/missing.htm"));
    EXPECT_NE(PageText(panel->GetBrowser()).find("kept"), std::string::npos);
}

TEST_F(WebPanelTest, PageFromMemoryStillShowsWhenItsFolderIsMissing)
{
    fx.userSettings.GetValue("Preferences.Language") = "klingon";
    CWebPanel* panel = MakePanel();
    CHtmlText page;
    page = "<p>from memory</p>";
    panel->ShowHtml(page);
    EXPECT_NE(PageText(panel->GetBrowser()).find("from memory"), std::string::npos);
}

// ---------------------------------------------------------------- the side panel

namespace {

class BrowserPanelTest : public WebPanelTest {
protected:
    void SetUp() override
    {
        WebPanelTest::SetUp();
        if (IsSkipped())
            return;
        // The shipped page set, in the fixture's program folder.
        std::system(("cp -r '" + kSource + "/data/html' '" + fx.program + "/'").c_str());
        fx.programSettings.GetValue("TOTD.#0") = "Tip <b>zero</b>.";
        fx.programSettings.GetValue("TOTD.#1") = "Tip one.";
        fx.liveContent.GetValue("News.#0") = "First news.";
        fx.liveContent.GetValue("Links.#0.title") = "Home";
        fx.liveContent.GetValue("Links.#0.url") = "https://example.org/";
        fx.onRebuild = [this](bool reload) {
            if (panel)
                panel->Rebuild(reload);
        };
    }

    CBrowserPanel* MakeBrowser()
    {
        panel = new CBrowserPanel(frame, wxID_ANY);
        panel->SetSize(0, 0, 600, 440);
        frame->Show();
        return panel;
    }

    CBrowserPanel* panel = nullptr;
};

} // namespace

TEST_F(BrowserPanelTest, ShippedTemplatesMakeACompletePage)
{
    fx.WriteUserFile("active games/Game 2.rwg", "x");
    fx.userSettings.GetValue("profile.name") = "Ann";
    MakeBrowser();
    std::string page = HtmlTest::ReadFile(fx.language + "/_layout2.htm");
    EXPECT_EQ(page.find("*["), std::string::npos);
    EXPECT_EQ(fx.liveReloads, 1);
    std::string text = PageText(panel->GetBrowser());
    for (const char* shown : {"Active Games", "Tip of the Day", "Tip zero.", "First news.", "Launchpad", "Profile",
                              "Game Stats", "Links", "Home", "Ann", "Game 2"})
        EXPECT_NE(text.find(shown), std::string::npos) << shown << " in\n" << text;
    EXPECT_TRUE(HasLink(panel->GetBrowser(), "LNK open 'active games/Game 2.rwg'"));
    EXPECT_TRUE(HasLink(panel->GetBrowser(), "LNK menu GAME_NEW_GAME_VERSUS_COMPUTER"));
    EXPECT_STREQ(fx.userSettings.GetValue("preferences.totd").GetText(), "1");
}

TEST_F(BrowserPanelTest, FoldingFromThePageRebuildsItWithoutReloading)
{
    MakeBrowser();
    ASSERT_TRUE(HasLink(panel->GetBrowser(), "LNK reduce news"));
    ASSERT_TRUE(ClickLink(panel->GetBrowser(), "LNK reduce news"));
    GuiTest::Pump();
    EXPECT_EQ(fx.rebuilds, (std::vector<bool>{false}));
    EXPECT_EQ(fx.liveReloads, 1) << "a fold does not re-read live content";
    EXPECT_FALSE(HasLink(panel->GetBrowser(), "LNK reduce news"));
    EXPECT_TRUE(HasLink(panel->GetBrowser(), "LNK expand news"));
    EXPECT_EQ(PageText(panel->GetBrowser()).find("First news."), std::string::npos);

    ASSERT_TRUE(ClickLink(panel->GetBrowser(), "LNK expand news"));
    GuiTest::Pump();
    EXPECT_NE(PageText(panel->GetBrowser()).find("First news."), std::string::npos);
    panel->Rebuild(true);
    EXPECT_EQ(fx.liveReloads, 2);
}

TEST_F(BrowserPanelTest, APlayerNamedLikeALinkShowsAsText)
{
    const char* name = "<a href=\"LNK menu GAME_ONLINE\">x</a>";
    fx.userSettings.GetValue("profile.name") = name;
    // The launchpad has a link of that address of its own.
    fx.userSettings.GetValue("preferences.browser.active.launchpad") = "no";
    MakeBrowser();
    EXPECT_FALSE(HasLink(panel->GetBrowser(), "LNK menu GAME_ONLINE"));
    EXPECT_NE(PageText(panel->GetBrowser()).find(name), std::string::npos) << PageText(panel->GetBrowser());
    for (const HtmlTest::SLink& link : HtmlTest::Links(panel->GetBrowser()))
        EXPECT_EQ(link.href.find('<'), std::string::npos) << link.href;
}

TEST_F(BrowserPanelTest, NewVersionNoticeFromTheVersionFile)
{
    fx.WriteProgramFile("live content/version.cfg",
                        "Version = {\n\tMajor = 2\n\tMinor = 0\n}\nurl = \"https://example.org/get\"\n");
    MakeBrowser();
    EXPECT_NE(PageText(panel->GetBrowser()).find("Version 2.0 is available."), std::string::npos);
    EXPECT_TRUE(HasLink(panel->GetBrowser(), "https://example.org/get"));
    fx.WriteProgramFile("live content/version.cfg", "Version = {\n\tMajor = 1\n\tMinor = 24\n}\n");
    panel->Rebuild(false);
    EXPECT_NE(PageText(panel->GetBrowser()).find("Version 2.0"), std::string::npos) << "not re-read without reload";
    panel->Rebuild(true);
    EXPECT_EQ(PageText(panel->GetBrowser()).find("is available"), std::string::npos);
}

TEST_F(BrowserPanelTest, ALongListOfPlayedGamesShowsEveryGameInOrderAndEachOpens)
{
    // Enough games for the list to be one cell of the page, written out of order.
    const int count = 450;
    for (int n = count; n >= 1; --n)
        fx.WriteUserFile("played games/Game " + std::to_string(n) + ".pgn", "x");
    fx.WriteUserFile("played games/Tom & Jerry's <best>.pgn", "x");
    MakeBrowser();

    auto played = [this] {
        std::vector<HtmlTest::SLink> links;
        for (const HtmlTest::SLink& link : HtmlTest::Links(panel->GetBrowser()))
            if (link.href.rfind("LNK pgn ", 0) == 0)
                links.push_back(link);
        return links;
    };
    auto expected = [](int inserted) {
        std::vector<std::string> names;
        for (int n = 1; n <= count; ++n) {
            names.push_back("Game " + std::to_string(n));
            if (n == inserted)
                names.push_back("Game " + std::to_string(n) + "b");
        }
        names.push_back("Tom & Jerry's <best>");
        return names;
    };
    auto check = [&](const std::vector<std::string>& names) {
        std::vector<HtmlTest::SLink> links = played();
        ASSERT_EQ(links.size(), names.size());
        auto* list = dynamic_cast<CLinkListCell*>(links[0].cell);
        ASSERT_NE(list, nullptr) << "a long list is one cell";
        for (size_t i = 0; i < names.size(); ++i) {
            const std::string quote = names[i].find('\'') == std::string::npos ? "'" : "\"";
            EXPECT_EQ(links[i].href, "LNK pgn " + quote + "played games/" + names[i] + ".pgn" + quote);
            EXPECT_EQ(links[i].label, names[i]);
            // Every label inside the cell, none over the one before it.
            const wxRect& at = links[i].place;
            EXPECT_GE(at.x, 0);
            EXPECT_LE(at.GetRight(), list->GetWidth()) << names[i];
            EXPECT_LE(at.GetBottom(), list->GetHeight()) << names[i];
            if (i > 0) {
                const wxRect& before = links[i - 1].place;
                EXPECT_TRUE(at.y > before.y || (at.y == before.y && at.x > before.GetRight())) << names[i];
            }
        }
        EXPECT_NE(PageText(panel->GetBrowser()).find("Game 1 / Game 2 / Game 3"), std::string::npos);
    };
    check(expected(0));
    // The last one far below the fold opens with a click, as a short list's do.
    ASSERT_TRUE(ClickLink(panel->GetBrowser(), played().back().href));
    GuiTest::Pump();
    ASSERT_EQ(fx.pgns.size(), 1u);
    EXPECT_EQ(fx.pgns[0], fx.user + "/played games/Tom & Jerry's <best>.pgn");

    // A game added while the board is shown is listed in its place once the page shows again.
    panel->Hide();
    fx.WriteUserFile("played games/Game 99b.pgn", "x");
    panel->ListPlayedGames();
    panel->Rebuild(false);
    EXPECT_TRUE(panel->IsRebuildPending());
    check(expected(0));
    panel->Show();
    EXPECT_FALSE(panel->IsRebuildPending());
    check(expected(99));
}
