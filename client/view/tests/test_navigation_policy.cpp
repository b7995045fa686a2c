// The web panel's navigation policy and the command-link splitter, as pure
// functions.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/view/LinkCommand.h"
#include "client/view/NavigationPolicy.h"

using Zorlin::CString;

namespace {

using Commands = std::vector<std::vector<std::string>>;

Commands Parse(const char* address)
{
    Commands out;
    for (const CLinkWords& words : ParseCommandLink(address)) {
        std::vector<std::string> list;
        for (int i = 0; i < words.GetCount(); ++i)
            list.push_back(words.GetAt(i)->GetText());
        out.push_back(list);
    }
    return out;
}

ENavigation Decide(const char* address, bool own = false)
{
    return DecideNavigation(address, own);
}

} // namespace

TEST(NavigationPolicy, WebAndMailAddressesOpenOutsideInAnyCase)
{
    for (const char* address : {"http://example.org/", "HTTP://EXAMPLE.ORG", "https://x.y/z?q=1",
                                "HtTpS://a", "ftp://files.example.org/a.zip", "mailto:ann@example.org",
                                "MailTo:ann@example.org"})
        EXPECT_EQ(Decide(address), ENavigation::OpenOutside) << address;
}

TEST(NavigationPolicy, OtherSchemesAndRelativeLinksLoadInThePanel)
{
    for (const char* address : {"Doc/contents.htm", "file:///prog/html/english/Doc/game.htm#StartEmailGame",
                                "#top", "news:comp.chess", "javascript:alert(1)", "http", "htt:", ""})
        EXPECT_EQ(Decide(address), ENavigation::Allow) << address;
}

TEST(NavigationPolicy, CommandLinksRunCommands)
{
    EXPECT_EQ(Decide("LNK menu GAME_ONLINE"), ENavigation::RunCommands);
    EXPECT_EQ(Decide("file:/prog/html/english/LNK expand news"), ENavigation::RunCommands);
    EXPECT_EQ(Decide("LNK%20menu%20HELP_ABOUT"), ENavigation::RunCommands);
    // The prefix word needs its blank.
    EXPECT_EQ(Decide("LNKmenu"), ENavigation::Allow);
}

TEST(NavigationPolicy, SponsorPagesAlwaysLoad)
{
    EXPECT_EQ(Decide("sponsor.htm"), ENavigation::Allow);
    EXPECT_EQ(Decide("LNK menu GAME sponsor.htm"), ENavigation::Allow);
    bool own = true;
    EXPECT_EQ(DecideNavigation("a/sponsor.htm", own), ENavigation::Allow);
    EXPECT_TRUE(own) << "a sponsor page does not use up the panel's own navigation";
}

TEST(NavigationPolicy, OwnNavigationLetsOneAddressThroughWhateverItIs)
{
    bool own = true;
    EXPECT_EQ(DecideNavigation("LNK menu GAME_ONLINE", own), ENavigation::Allow);
    EXPECT_FALSE(own);
    EXPECT_EQ(DecideNavigation("LNK menu GAME_ONLINE", own), ENavigation::RunCommands);

    own = true;
    EXPECT_EQ(DecideNavigation("http://example.org", own), ENavigation::Allow);
    EXPECT_FALSE(own);
    EXPECT_EQ(DecideNavigation("http://example.org", own), ENavigation::OpenOutside);
}

TEST(IsOutsideAddress, NeedsTheWholeSchemeAtTheStart)
{
    EXPECT_TRUE(IsOutsideAddress("http:"));
    EXPECT_FALSE(IsOutsideAddress("http"));
    EXPECT_FALSE(IsOutsideAddress(" http://a"));
    EXPECT_FALSE(IsOutsideAddress("file:http://a"));
}

TEST(CommandLink, SingleQuotedPathWithBlanksIsOneArgument)
{
    EXPECT_EQ(Parse("LNK open 'active games/My Game 10.rwg'"),
              (Commands{{"open", "active games/My Game 10.rwg"}}));
    EXPECT_EQ(Parse("LNK open \"played games/Ann's game.pgn\""),
              (Commands{{"open", "played games/Ann's game.pgn"}}));
}

TEST(CommandLink, CommandsRunInOrder)
{
    EXPECT_EQ(Parse("LNK expand news,reduce links"), (Commands{{"expand", "news"}, {"reduce", "links"}}));
    EXPECT_EQ(Parse("LNK expand news , reduce links ,"), (Commands{{"expand", "news"}, {"reduce", "links"}}));
}

TEST(CommandLink, CommaInsideQuotesDoesNotSplit)
{
    EXPECT_EQ(Parse("LNK open 'active games/a, b.rwg', expand activegames"),
              (Commands{{"open", "active games/a, b.rwg"}, {"expand", "activegames"}}));
    EXPECT_EQ(Parse("LNK pgn \"played games/x,y.pgn\""), (Commands{{"pgn", "played games/x,y.pgn"}}));
}

TEST(CommandLink, PercentTwentyIsABlankBeforeSplitting)
{
    EXPECT_EQ(Parse("LNK%20open%20'active%20games/a%20b.rwg'"), (Commands{{"open", "active games/a b.rwg"}}));
}

TEST(CommandLink, TextBeforeThePrefixIsDropped)
{
    EXPECT_EQ(Parse("file:/prog/html/english/LNK menu VIEW_BOARD"), (Commands{{"menu", "VIEW_BOARD"}}));
    EXPECT_EQ(Parse("LNK menu A LNK menu B"), (Commands{{"menu", "A", "LNK", "menu", "B"}}));
}

TEST(CommandLink, EdgeCases)
{
    EXPECT_TRUE(Parse("no command here").empty());
    EXPECT_TRUE(Parse("LNK ").empty());
    EXPECT_TRUE(Parse("LNK , ,").empty());
    EXPECT_EQ(Parse("LNK menu"), (Commands{{"menu"}}));
    EXPECT_EQ(Parse("LNK open ''"), (Commands{{"open", ""}}));
    // An unclosed quote runs to the end.
    EXPECT_EQ(Parse("LNK open 'a b, c"), (Commands{{"open", "a b, c"}}));
    EXPECT_EQ(Parse("LNK  menu   GAME  "), (Commands{{"menu", "GAME"}}));
}
