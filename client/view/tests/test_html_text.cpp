// Page text, its fill-in fields and tag writers.

#include <gtest/gtest.h>

#include <string>

#include <wx/html/htmlpars.h>

#include "client/core/HtmlText.h"
#include "client/view/HtmlText.h"
#include "foundation/Config.h"
#include "foundation/MemFile.h"

using Zorlin::CString;

namespace {

CHtmlVariables Vars(std::initializer_list<std::pair<const char*, const char*>> items)
{
    CHtmlVariables map;
    for (auto& item : items)
        map[item.first] = item.second;
    return map;
}

std::string Fill(const char* text, const CHtmlVariables& vars, bool removeUnknown, int* count = nullptr)
{
    CHtmlText page;
    page = text;
    int n = page.ExpandVariables(vars, removeUnknown);
    if (count)
        *count = n;
    return page.GetText();
}

} // namespace

TEST(HtmlFill, NamesAreTrimmedAndMatchedWithoutCase)
{
    int count = 0;
    EXPECT_EQ(Fill("<h1>*[ Title ]</h1>", Vars({{"title", "News"}}), false, &count), "<h1>News</h1>");
    EXPECT_EQ(count, 1);
    EXPECT_EQ(Fill("*[USERNAME] and *[username]", Vars({{"UserName", "Ann"}}), true), "Ann and Ann");
}

TEST(HtmlFill, UnknownFieldsStayOrGoAndCountOnlyWhenRemoved)
{
    int count = -1;
    EXPECT_EQ(Fill("a*[x]b*[y]c", Vars({{"y", "Y"}}), false, &count), "a*[x]bYc");
    EXPECT_EQ(count, 1);
    EXPECT_EQ(Fill("a*[x]b*[y]c", Vars({{"y", "Y"}}), true, &count), "abYc");
    EXPECT_EQ(count, 2);
}

TEST(HtmlFill, FieldRightAfterARemovedOneIsStillFilled)
{
    // The shipped templates put fields side by side.
    EXPECT_EQ(Fill("*[gone]*[here]*[gone]*[here]", Vars({{"here", "H"}}), true), "HH");
}

TEST(HtmlFill, InsertedValuesAreNotFilledAgain)
{
    EXPECT_EQ(Fill("[*[a]]", Vars({{"a", "*[b]"}, {"b", "no"}}), true), "[*[b]]");
}

TEST(HtmlFill, FieldWithoutClosingBracketEndsTheFill)
{
    // The name runs to the next ']', wherever it is.
    EXPECT_EQ(Fill("*[b and *[a]!", Vars({{"a", "A"}}), true), "!");
    int count = -1;
    EXPECT_EQ(Fill("*[a] then *[b and more", Vars({{"a", "A"}}), true, &count), "A then *[b and more");
    EXPECT_EQ(count, 1);
    EXPECT_EQ(Fill("", Vars({{"a", "A"}}), true), "");
    EXPECT_EQ(Fill("*[", Vars({}), true), "*[");
}

TEST(HtmlFill, StagesLeaveLaterFieldsForTheLastStage)
{
    CHtmlText section;
    section = "<b>*[Title]</b> *[username]";
    section.ExpandVariables(Vars({{"Title", "Profile"}}), false);
    CHtmlText page;
    page = "<body>*[MainColumn]*[Unknown]</body>";
    page.ExpandVariables(Vars({{"MainColumn", section.GetText()}}), true);
    EXPECT_STREQ(page.GetText(), "<body><b>Profile</b> *[username]</body>");
}

// A remote name that looks like a field survives every later stage of the
// fill as the text it was, and the page shows it as written.
TEST(HtmlFill, EscapedTextIsNeverAField)
{
    const CString remote("*[username] *[ Played ]*[Unknown]*[");
    const CString escaped = EscapeHtml(remote);
    EXPECT_EQ(std::string(escaped.GetText()).find("*["), std::string::npos) << escaped.GetText();

    CHtmlText section;
    section = "<b>*[Title]</b>*[Text] won *[Played]";
    section.ExpandVariables(Vars({{"Title", "News"}, {"Text", escaped.GetText()}}), false);
    section.ExpandVariables(Vars({{"Played", "3"}}), true);
    CHtmlText page;
    page = "<body>*[MainColumn]</body>";
    page.ExpandVariables(Vars({{"MainColumn", section.GetText()}}), true);
    page.ExpandVariables(Vars({{"username", "Kim"}}), true);
    const std::string expected = std::string("<body><b>News</b>") + escaped.GetText() + " won 3</body>";
    EXPECT_EQ(page.GetText(), expected);

    wxHtmlEntitiesParser entities;
    const wxString shown = entities.Parse(wxString::FromUTF8(escaped.GetText()));
    EXPECT_EQ(std::string(shown.utf8_str().data()), remote.GetText());
    const wxString marks = entities.Parse(wxString::FromUTF8(EscapeHtml("a[b]<c>&'\"").GetText()));
    EXPECT_EQ(std::string(marks.utf8_str().data()), "a[b]<c>&'\"");
}

TEST(HtmlText, StartsEmptyWithItsGrowStep)
{
    CHtmlText text;
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_EQ(text.GetGrowStep(), CHtmlText::kGrowStep);
}

TEST(HtmlText, LoadFileReadsFromThePositionToTheEnd)
{
    Zorlin::CMemFile file;
    file.Open("t.htm", Zorlin::CFile::kModeRead | Zorlin::CFile::kModeWrite);
    file.WriteString(CString("skip<p>page</p>"));
    file.Seek(4, Zorlin::CFile::kSeekStart);
    CHtmlText text;
    text = "old";
    EXPECT_TRUE(text.LoadFile(file));
    EXPECT_STREQ(text.GetText(), "<p>page</p>");
    EXPECT_FALSE(text.LoadFile(file)); // at the end: nothing read
    EXPECT_TRUE(text.IsEmpty());
}

TEST(HtmlText, ExtractBodyKeepsWhatLiesInside)
{
    CHtmlText text;
    text = "<html><head><title>t</title></head><body bgcolor=\"#FFFFFF\">\n<p>x</p>\n</body></html>";
    text.ExtractBody();
    EXPECT_STREQ(text.GetText(), "\n<p>x</p>\n");

    text = "<HTML><BODY>upper</BODY></HTML>";
    EXPECT_STREQ(text.ExtractBody().GetText(), "upper");
    text = "<body></body>";
    EXPECT_STREQ(text.ExtractBody().GetText(), "");
    text = "no body at all";
    EXPECT_STREQ(text.ExtractBody().GetText(), "no body at all");
    text = "<body>open to the end";
    EXPECT_STREQ(text.ExtractBody().GetText(), "open to the end");
}

TEST(HtmlText, CharsetIsNamedBeforeAnythingTheWindowReads)
{
    const std::string meta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">";
    CHtmlText text;
    text = "<html>\n<head><title>t</title></head><body>x</body></html>";
    EXPECT_TRUE(text.DeclareCharset("utf-8").NamesCharset());
    EXPECT_EQ(std::string(text.GetText()), "<html>\n<head>" + meta + "<title>t</title></head><body>x</body></html>");

    // Without a head: at the very start; a head tag inside the body is no head.
    text = "<body><p>x</p><head></body>";
    EXPECT_FALSE(text.NamesCharset());
    EXPECT_EQ(std::string(text.DeclareCharset("utf-8").GetText()), meta + "<body><p>x</p><head></body>");
    text = "<p>plain</p>";
    EXPECT_EQ(std::string(text.DeclareCharset("utf-8").GetText()), meta + "<p>plain</p>");

    // A page naming its own is kept; a charset mentioned in the body is no name.
    text = "<HEAD><META http-equiv=\"Content-Type\" content=\"text/html; CHARSET=iso-8859-2\"></HEAD><body>x</body>";
    EXPECT_TRUE(text.NamesCharset());
    CString before(text);
    EXPECT_TRUE(text.DeclareCharset("utf-8") == before);
    text = "<body>write charset=utf-8 like this</body>";
    EXPECT_FALSE(text.NamesCharset());
}

TEST(HtmlText, TagWritersWriteTheirExactTexts)
{
    CHtmlText text;
    text.BeginParagraph(nullptr).BeginParagraph("center").BeginLink("LNK menu HELP_ABOUT").BeginItalic();
    text.Append("about");
    text.EndItalic();
    text.EndLink().LineBreak();
    EXPECT_STREQ(text.GetText(),
                 "<P><P align= \"center\"><a href=\"LNK menu HELP_ABOUT\"><i>about</i></a><br>");

    CHtmlText image;
    image.AppendImage("../images/WP.gif", 20, 20, 0);
    EXPECT_STREQ(image.GetText(), "<img src= \"../images/WP.gif\" width= \"20\" height= \"20\" border= \"0\">");
    CHtmlText bare;
    bare.AppendImage("a.gif", CHtmlText::kNoSize, CHtmlText::kNoSize, 0);
    EXPECT_STREQ(bare.GetText(), "<img src= \"a.gif\" border= \"0\">");
    CHtmlText wide;
    wide.AppendImage("a.gif", 4000000000u, CHtmlText::kNoSize, 7);
    EXPECT_STREQ(wide.GetText(), "<img src= \"a.gif\" width= \"4000000000\" border= \"7\">");
}

TEST(HtmlText, LanguageFolderIsAlwaysInsideTheHtmlFolder)
{
    Zorlin::CConfig user;
    EXPECT_STREQ(GetLanguage(user).GetText(), "english");
    user.GetValue("preferences.language") = "francais";
    EXPECT_STREQ(GetLanguage(user).GetText(), "francais");
    EXPECT_STREQ(GetHtmlFolder(GetLanguage(user)).GetText(), "/html/francais/");
    for (const char* bad : {"..", "../../etc", "a/b", "", "c:"}) {
        user.GetValue("Preferences.Language") = bad;
        EXPECT_STREQ(GetLanguage(user).GetText(), "english") << bad;
    }
}
