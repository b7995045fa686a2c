// The side panel's generated page, built from fixture templates and
// fixture folders: section order, folding, removal, natural order of game
// files, played games by the names typed, the tip of the day, the
// new-version notice, and that nothing from outside becomes markup.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "client/core/PlayedGameFile.h"
#include "client/view/BrowserPage.h"
#include "client/view/LinkCommand.h"
#include "client/view/tests/support/HtmlFixture.h"
#include "foundation/AutoDirectory.h"

using Zorlin::CString;

namespace {

class BrowserPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string& folder = fx.language + "/";
        HtmlTest::WriteFile(folder + "expandedheader.htm",
                            "<html><body>[open *[Title] #*[imageno] *[reduce] *[close]]</body></html>");
        HtmlTest::WriteFile(folder + "reducedheader.htm", "<html><body>[folded *[Title] #*[imageno] *[expand]]</body></html>");
        HtmlTest::WriteFile(folder + "texttablefade.htm", "<html><body>{*[Text]}</body></html>");
        HtmlTest::WriteFile(folder + "score.htm", "<body>P=*[Played] W=*[Won] L=*[Lost] D=*[Drawn]</body>");
        HtmlTest::WriteFile(folder + "profile.htm", "<body><img src=\"*[userphoto]\">*[username]</body>");
        HtmlTest::WriteFile(folder + "launchpad.htm", "<body>PAD</body>");
        fx.programSettings.GetValue("TOTD.#0") = "tip zero";
        fx.programSettings.GetValue("TOTD.#1") = "tip one";
        fx.programSettings.GetValue("TOTD.#2") = "tip two";
    }

    std::string Build()
    {
        {
            Zorlin::CAutoDirectory inside(*fx.programDrive, "/html/english/");
            page.LoadTemplates(*fx.programDrive);
        }
        page.ListActiveGames(*fx.userDrive);
        page.ListPlayedGames(*fx.userDrive);
        CBrowserPage::SSources sources;
        sources.user = &fx.userSettings;
        sources.program = &fx.programSettings;
        sources.live = &fx.liveContent;
        sources.version = &version;
        sources.userFolder = fx.user.c_str();
        sources.newerVersion = newer;
        CHtmlText layout;
        layout = "MAIN<*[MainColumn]>RIGHT<*[RightColumn]>*[username]|*[BodyScroll]|*[later]";
        page.Prepare(layout, sources);
        return layout.GetText();
    }

    // Positions of the section titles, to check their order.
    static size_t At(const std::string& text, const char* what) { return text.find(what); }

    HtmlTest::CFixture fx;
    CBrowserPage page;
    Zorlin::CConfig version;
    bool newer = false;
};

} // namespace

TEST_F(BrowserPage, WithNoSettingsEverySectionWithoutConditionsIsShownUnfolded)
{
    std::string text = Build();
    size_t main = At(text, "MAIN<"), right = At(text, "RIGHT<");
    ASSERT_NE(main, std::string::npos);
    // Main column: tip, news; right column: launchpad, profile, stats, links.
    EXPECT_LT(main, At(text, "[open Tip of the Day #1"));
    EXPECT_LT(At(text, "[open Tip of the Day #1"), At(text, "[open News #2"));
    EXPECT_LT(At(text, "[open News #2"), right);
    EXPECT_LT(right, At(text, "[open Launchpad #3"));
    EXPECT_LT(At(text, "[open Launchpad #3"), At(text, "[open Profile #4"));
    EXPECT_LT(At(text, "[open Profile #4"), At(text, "[open Game Stats #5"));
    EXPECT_LT(At(text, "[open Game Stats #5"), At(text, "[open Links #6"));
    EXPECT_EQ(At(text, "New version!"), std::string::npos);
    EXPECT_EQ(At(text, "Active Games"), std::string::npos);
    EXPECT_EQ(At(text, "Played Games"), std::string::npos);
    EXPECT_NE(At(text, "{PAD}"), std::string::npos);
    EXPECT_NE(At(text, "LNK close news"), std::string::npos);
    EXPECT_NE(At(text, "P=0 W=0 L=0 D=0"), std::string::npos);
    EXPECT_EQ(At(text, "*["), std::string::npos) << "the last stage leaves no field";
    EXPECT_NE(At(text, "|auto|"), std::string::npos);
    // Reading the flags created none of them.
    EXPECT_FALSE(fx.userSettings.KeyExists("preferences.browser.active.news"));
    EXPECT_FALSE(fx.userSettings.KeyExists("preferences.browser.expanded.news"));
}

TEST_F(BrowserPage, FoldedSectionsShowTheirHeaderAloneAndRemovedOnesNothing)
{
    fx.userSettings.GetValue("preferences.browser.expanded.news") = "no";
    fx.userSettings.GetValue("preferences.browser.active.links") = "No";
    fx.userSettings.GetValue("preferences.browser.active.launchpad") = "FALSE";
    fx.userSettings.GetValue("preferences.browser.active.profile") = "Yes";
    std::string text = Build();
    EXPECT_NE(At(text, "[folded News #2 LNK expand news]"), std::string::npos) << text;
    EXPECT_EQ(At(text, "[open News"), std::string::npos);
    EXPECT_EQ(At(text, "Links"), std::string::npos);
    EXPECT_EQ(At(text, "Launchpad"), std::string::npos);
    // The counter runs over the sections shown.
    EXPECT_NE(At(text, "[open Profile #3"), std::string::npos) << text;
}

TEST_F(BrowserPage, GameFilesAreListedInNaturalOrderAndOnlyTheirOwnKind)
{
    fx.WriteUserFile("active games/Game 10.rwg", "x");
    fx.WriteUserFile("active games/game 9.rwg", "x");
    fx.WriteUserFile("active games/Game 100.RWG", "x");
    fx.WriteUserFile("active games/notes.txt", "x");
    fx.WriteUserFile("played games/b.pgn", "x");
    fx.WriteUserFile("played games/a.rwg", "x");
    std::string text = Build();

    size_t nine = At(text, ">game 9</a>"), ten = At(text, ">Game 10</a>"), hundred = At(text, ">Game 100</a>");
    ASSERT_NE(nine, std::string::npos) << text;
    EXPECT_LT(nine, ten);
    EXPECT_LT(ten, hundred);
    EXPECT_NE(At(text, ">game 9</a> / <a"), std::string::npos);
    EXPECT_EQ(At(text, "notes"), std::string::npos);
    EXPECT_NE(At(text, "href=\"LNK open &#39;active games/Game 10.rwg&#39;\""), std::string::npos) << text;
    EXPECT_NE(At(text, "(<i><a href=\"LNK explore &#39;active games&#39;\">explore folder</a></i>)"), std::string::npos);
    EXPECT_NE(At(text, "href=\"LNK pgn &#39;played games/b.pgn&#39;\">b</a>"), std::string::npos);
    EXPECT_EQ(At(text, ">a</a>"), std::string::npos) << "a saved game is no PGN file";
    // Active games come before the tip, played games after the news.
    EXPECT_LT(At(text, "Active Games"), At(text, "Tip of the Day"));
    EXPECT_LT(At(text, "[open News"), At(text, "Played Games"));
}

TEST_F(BrowserPage, ALongGameListIsHandedOverBesideThePageAndAShortOneStaysInIt)
{
    const int count = CBrowserPage::kLinksAsOneCell;
    for (int n = count - 1; n >= 1; --n)
        fx.WriteUserFile("played games/Game " + std::to_string(n) + ".pgn", "x");
    fx.WriteUserFile("played games/O'Hara & Al.pgn", "x");
    fx.WriteUserFile("played games/\"Al\" O'Hara.pgn", "x");
    fx.WriteUserFile("played games/notes.txt", "x");
    for (int n = 1; n < count; ++n)
        fx.WriteUserFile("active games/Game " + std::to_string(n) + ".rwg", "x");
    std::string text = Build();

    EXPECT_NE(At(text, "<linklist name=\"playedgames\"></linklist>"), std::string::npos) << "one element, no links";
    EXPECT_EQ(At(text, "played games/Game"), std::string::npos);
    EXPECT_NE(At(text, "LNK explore &#39;played games&#39;"), std::string::npos) << "the folder link stays";
    ASSERT_EQ(page.GetLinkLists().count("playedgames"), 1u);
    const std::vector<CBrowserPage::SLink>& links = page.GetLinkLists().at("playedgames");
    ASSERT_EQ(links.size(), size_t(count)) << "a name holding both quotes has no link, other kinds none";
    EXPECT_STREQ(links.back().href.GetText(), "LNK pgn \"played games/O'Hara & Al.pgn\"");
    EXPECT_STREQ(links.back().label.GetText(), "O'Hara & Al") << "kept as typed, escaped by whoever shows it";
    for (int n = 1; n < count; ++n) {
        EXPECT_STREQ(links[size_t(n - 1)].href.GetText(),
                     ("LNK pgn 'played games/Game " + std::to_string(n) + ".pgn'").c_str());
        EXPECT_STREQ(links[size_t(n - 1)].label.GetText(), ("Game " + std::to_string(n)).c_str());
    }

    // One link short of a cell: written into the page as before.
    EXPECT_EQ(page.GetLinkLists().count("activegames"), 0u);
    EXPECT_NE(At(text, ">Game 198</a> / <a href=\"LNK open &#39;active games/Game 199.rwg&#39;\">Game 199</a>"),
              std::string::npos);

    // The next build without the long list hands over nothing.
    std::remove((fx.user + "/played games/Game 1.pgn").c_str());
    text = Build();
    EXPECT_TRUE(page.GetLinkLists().empty());
    EXPECT_NE(At(text, ">Game 199</a> / <a href=\"LNK pgn &quot;played games/O&#39;Hara &amp; Al.pgn&quot;\">"
                       "O&#39;Hara &amp; Al</a>"),
              std::string::npos)
        << text;
}

TEST_F(BrowserPage, AnEmailGamesCopyIsListedByOpponentAndMove)
{
    // The user's copy of a game with Bob, as the e-mail game keeps it.
    fx.WriteUserFile("active games/email 5EED01.rwg",
                     "game=\r\n{\r\n\tgameid= \"5EED01\"\r\n}\r\n"
                     "White=\r\n{\r\n\tID= \"me1\"\r\n}\r\n"
                     "Black=\r\n{\r\n\tID= \"B0B\"\r\n\tname= \"Bob <b>\"\r\n}\r\n"
                     "Moves=\r\n{\r\n\t=\r\n\t{\r\n\t\tMove= \"e4\"\r\n\t}\r\n"
                     "\t=\r\n\t{\r\n\t\tMove= \"e5\"\r\n\t}\r\n}\r\n"
                     "EmailCopy=\r\n{\r\n\tlocal= \"white\"\r\n}\r\n");
    fx.WriteUserFile("active games/email 0.rwg", "x");
    fx.WriteUserFile("active games/Alice vs Bob.rwg", "x");
    std::string text = Build();
    EXPECT_NE(At(text, "href=\"LNK open &#39;active games/email 5EED01.rwg&#39;\">Bob &lt;b&gt;, move 2</a>"),
              std::string::npos)
        << text;
    EXPECT_EQ(At(text, ">email 5EED01<"), std::string::npos) << text;
    // Any other file keeps its name.
    EXPECT_NE(At(text, ">Alice vs Bob</a>"), std::string::npos) << text;
    EXPECT_NE(At(text, ">email 0</a>"), std::string::npos) << text;
}

TEST_F(BrowserPage, FolderOfOtherFilesStillShowsTheSection)
{
    fx.WriteUserFile("active games/readme.txt", "x");
    std::string text = Build();
    EXPECT_NE(At(text, "[open Active Games #1"), std::string::npos);
    EXPECT_NE(At(text, "{<P align= \"center\"><br>(<i>"), std::string::npos) << text;
}

TEST_F(BrowserPage, FileNamesFromTheDiskNeverBecomeMarkup)
{
    fx.WriteUserFile("active games/Bob's <b>best, 2.rwg", "x");
    fx.WriteUserFile("active games/say \"hi\".rwg", "x");
    std::string text = Build();
    EXPECT_EQ(At(text, "<b>best"), std::string::npos) << text;
    EXPECT_NE(At(text, ">Bob&#39;s &lt;b&gt;best, 2</a>"), std::string::npos) << text;
    // The link holds the path in the quotes the name lacks; decoded as the
    // browser does, it runs one command with the whole path.
    std::string href = "LNK open \"active games/Bob's <b>best, 2.rwg\"";
    EXPECT_NE(At(text, "LNK open &quot;active games/Bob&#39;s &lt;b&gt;best, 2.rwg&quot;"), std::string::npos);
    std::vector<CLinkWords> commands = ParseCommandLink(href.c_str());
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_STREQ(commands[0].GetAt(1)->GetText(), "active games/Bob's <b>best, 2.rwg");
    EXPECT_NE(At(text, "LNK open &#39;active games/say &quot;hi&quot;.rwg&#39;"), std::string::npos);
}

TEST_F(BrowserPage, PlayedGamesShowTheNamesAsTypedAndLinkTheirFiles)
{
    const CString white("<b>Bob</b> & \"Al\"");
    const CString black("\xd0\x94\xd0\xbc\xd0\xb8\xd1\x82\xd1\x80\xd0\xb8\xd0\xb9");
    const CString name = MakePlayedGameName(white, black, 1700000000);
    ASSERT_TRUE(WritePlayedGame(*fx.userDrive, name,
                                CString("[Event \"?\"]\n[White \"<b>Bob</b> & \\\"Al\\\"\"]\n[Black \"") + black +
                                    "\"]\n\n1. e4 *\n"));
    fx.WriteUserFile("played games/old game.pgn", "[White \"Ann\"]\n[Black \"Bob\"]\n\n*\n");
    const std::string stamp = std::string(name.GetText()).substr(0, 18);
    std::string text = Build();
    EXPECT_NE(At(text, (">" + stamp + "&lt;b&gt;Bob&lt;/b&gt; &amp; &quot;Al&quot; vs " + black.GetText() + "</a>").c_str()),
              std::string::npos)
        << text;
    EXPECT_EQ(At(text, "<b>Bob"), std::string::npos) << text;
    EXPECT_NE(At(text, (std::string("LNK pgn &#39;played games/") + name.GetText() + ".pgn&#39;").c_str()),
              std::string::npos)
        << text;
    EXPECT_NE(At(text, ">old game</a>"), std::string::npos) << "a file put there by hand keeps its name";
}

TEST_F(BrowserPage, TipOfTheDayAdvancesAndWraps)
{
    page.AdvanceTip(fx.userSettings, fx.programSettings);
    EXPECT_EQ(page.GetTip(), 0);
    EXPECT_STREQ(fx.userSettings.GetValue("preferences.totd").GetText(), "1");
    page.AdvanceTip(fx.userSettings, fx.programSettings);
    page.AdvanceTip(fx.userSettings, fx.programSettings);
    EXPECT_EQ(page.GetTip(), 2);
    EXPECT_STREQ(fx.userSettings.GetValue("preferences.totd").GetText(), "0");
    EXPECT_NE(Build().find("{<P>tip two}"), std::string::npos);

    fx.userSettings.GetValue("preferences.totd") = "57";
    page.AdvanceTip(fx.userSettings, fx.programSettings);
    EXPECT_EQ(page.GetTip(), 0);
    EXPECT_STREQ(fx.userSettings.GetValue("preferences.totd").GetText(), "0");
    fx.userSettings.GetValue("preferences.totd") = "99999999999999999999";
    page.AdvanceTip(fx.userSettings, fx.programSettings);
    EXPECT_EQ(page.GetTip(), 0);
}

TEST_F(BrowserPage, WithoutTipsTheEntryIsEmptyAndZeroIsStored)
{
    fx.programSettings.Clear();
    fx.userSettings.GetValue("preferences.totd") = "2";
    page.AdvanceTip(fx.userSettings, fx.programSettings);
    EXPECT_STREQ(fx.userSettings.GetValue("preferences.totd").GetText(), "0");
    EXPECT_NE(Build().find("[open Tip of the Day #1 LNK reduce totd LNK close totd]{<P>}"), std::string::npos);
}

TEST_F(BrowserPage, NewVersionNoticeLinksOnlyToTheWeb)
{
    version.GetValue("version.major") = "2";
    version.GetValue("version.minor") = "<05>";
    version.GetValue("url") = "https://example.org/download";
    EXPECT_EQ(Build().find("New version!"), std::string::npos) << "shown only for a newer version";
    newer = true;
    std::string text = Build();
    EXPECT_NE(text.find("[open New version! #1"), std::string::npos);
    EXPECT_NE(text.find("{<P>Version 2.&lt;05&gt; is available. Click <a href=\"https://example.org/download\">here</a> "
                        "to go to the download page.}"),
              std::string::npos)
        << text;
    version.GetValue("url") = "LNK menu GAME_ONLINE";
    text = Build();
    EXPECT_NE(text.find("Click here to go"), std::string::npos);
    EXPECT_EQ(text.find("href=\"LNK menu"), std::string::npos);
    fx.userSettings.GetValue("preferences.browser.active.newversion") = "no";
    EXPECT_EQ(Build().find("New version!"), std::string::npos);
}

TEST_F(BrowserPage, LiveContentCannotPlantCommandLinks)
{
    fx.liveContent.GetValue("News.#0") = "<a href=\"LNK menu GAME_ONLINE\">x</a> see http://example.org/news.";
    fx.liveContent.GetValue("News.#1") = "second";
    fx.liveContent.GetValue("Links.#0.url") = "LNK close news";
    fx.liveContent.GetValue("Links.#0.title") = "<i>evil</i>";
    fx.liveContent.GetValue("Links.#1.url") = "http://example.org/?a=1&b=2";
    fx.liveContent.GetValue("Links.#1.title") = "Chess & more";
    std::string text = Build();
    EXPECT_EQ(text.find("<a href=\"LNK"), std::string::npos) << text;
    EXPECT_NE(text.find("&lt;a href=&quot;LNK menu GAME_ONLINE&quot;&gt;x&lt;/a&gt; see "
                        "<a href=\"http://example.org/news\">http://example.org/news</a>.<P>second"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("{<P align= \"center\">&lt;i&gt;evil&lt;/i&gt;<br><a href=\"http://example.org/?a=1&amp;b=2\">"
                        "Chess &amp; more</a>}"),
              std::string::npos)
        << text;
}

TEST_F(BrowserPage, ProfileAndStatisticsComeFromTheUserSettings)
{
    fx.userSettings.GetValue("profile.name") = "Ann <Queen>";
    fx.userSettings.GetValue("Preferences.Matches.Played") = "12";
    fx.userSettings.GetValue("preferences.matches.won") = "7";
    fx.userSettings.GetValue("Preferences.Matches.Lost") = "4";
    fx.userSettings.GetValue("Preferences.Matches.Drawn") = "1";
    std::string text = Build();
    EXPECT_NE(text.find("P=12 W=7 L=4 D=1"), std::string::npos);
    EXPECT_NE(text.find("Ann &lt;Queen&gt;|auto|"), std::string::npos) << text;
    std::string photo = "<img src=\"file://" + fx.user + "/photo.bmp\">Ann &lt;Queen&gt;";
    EXPECT_NE(text.find(photo), std::string::npos) << text;
}

TEST(LinkifyText, AddressesBecomeLinksAndTheRestIsEscaped)
{
    EXPECT_STREQ(LinkifyText("Visit https://a.example/x?y=1&z=2, or HTTP://B.EXAMPLE.").GetText(),
                 "Visit <a href=\"https://a.example/x?y=1&amp;z=2\">https://a.example/x?y=1&amp;z=2</a>, or "
                 "<a href=\"HTTP://B.EXAMPLE\">HTTP://B.EXAMPLE</a>.");
    EXPECT_STREQ(LinkifyText("no address: ftp://x, javascript:alert(1)").GetText(),
                 "no address: ftp://x, javascript:alert(1)");
    EXPECT_STREQ(LinkifyText("http://q\"onmouseover=\"x").GetText(),
                 "<a href=\"http://q\">http://q</a>&quot;onmouseover=&quot;x");
    EXPECT_STREQ(LinkifyText("").GetText(), "");
    EXPECT_STREQ(LinkifyText("http://").GetText(), "<a href=\"http://\">http://</a>");
}
