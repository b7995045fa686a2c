#include "client/core/PlayedGames.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/core/PlayedGameFile.h"
#include "foundation/DiskDrive.h"
#include "testsupport/TempFiles.h"

using namespace Zorlin;
using namespace RookwellTest;

namespace {

std::string Escaped(const std::string& name)
{
    std::string out;
    for (char c : name) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

std::string Pgn(const std::string& white, const std::string& black)
{
    return "[Event \"?\"]\n[White \"" + Escaped(white) + "\"]\n[Black \"" + Escaped(black) + "\"]\n\n1. e4 *\n";
}

class PlayedGamesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = MakeTempFolder("played");
        ASSERT_FALSE(root.empty());
        drive.reset(new CDiskDrive(root.c_str()));
    }
    void TearDown() override { RemoveTree(root); }

    std::string Path(const std::string& file) const { return root + "/played games/" + file; }
    void Put(const std::string& file, const std::string& text) { WriteWholeFile(Path(file), text); }

    // Rewrites a file with the same size and time, as if it were untouched.
    void ReplaceKeepingStamp(const std::string& file, const std::string& text)
    {
        struct stat before;
        ASSERT_EQ(stat(Path(file).c_str(), &before), 0);
        ASSERT_EQ(text.size(), size_t(before.st_size));
        WriteWholeFile(Path(file), text);
        struct timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(utimensat(AT_FDCWD, Path(file).c_str(), times, 0), 0);
    }

    std::vector<std::string> Files(const CPlayedGames& list) const
    {
        std::vector<std::string> out;
        for (int i = 0; i < list.GetFiles().GetCount(); ++i)
            out.push_back(list.GetFiles().GetAt(i)->GetText());
        return out;
    }
    std::string Label(const CPlayedGames& list, const std::string& file) const
    {
        for (int i = 0; i < list.GetFiles().GetCount(); ++i)
            if (file == list.GetFiles().GetAt(i)->GetText())
                return list.GetLabels().GetAt(i)->GetText();
        ADD_FAILURE() << file << " not listed";
        return std::string();
    }

    std::string root;
    std::unique_ptr<CDiskDrive> drive;
};

// The order the start page always had: a selection sort by natural order.
std::vector<std::string> SelectionSorted(std::vector<std::string> names)
{
    for (size_t i = 0; i + 1 < names.size(); ++i) {
        size_t least = i;
        for (size_t j = i + 1; j < names.size(); ++j)
            if (CString::CompareNatural(CString(names[j].c_str()), CString(names[least].c_str())) < 0)
                least = j;
        std::swap(names[i], names[least]);
    }
    return names;
}

} // namespace

TEST_F(PlayedGamesTest, LabelsAndOrderAreThoseOfReadingEveryFile)
{
    const char* const players[][2] = {
        {"Ann", "Bob"},
        {"J\xc3\xbcrgen Gr\xc3\xb6\xc3\x9f", "Gnu Chess 5"},
        {"<b>Bob</b> & \"Al\"", "Zo\xc3\xab"},
        {"", "Engine 10"},
        {"Engine 9", "Ann"},
    };
    std::vector<std::string> names;
    for (int day = 0; day < 6; ++day)
        for (const auto& pair : players) {
            const CString name = MakePlayedGameName(pair[0], pair[1], 1700000000 + day * 86400 + day % 3);
            // Two games in one second: the second is written with " (2)".
            for (int copy = 0; copy < (day == 2 ? 11 : 1); ++copy) {
                CString written;
                ASSERT_TRUE(WritePlayedGame(*drive, name, Pgn(pair[0], pair[1]).c_str(), &written));
                names.push_back(written.GetText());
            }
        }
    Put("old game.pgn", Pgn("Ann", "Bob"));
    Put("notes.txt", "not a game");
    Put("2025-01-31 142501 Ann vs Bob.pgn", "[White \"Someone else\"]\n[Black \"Bob\"]\n\n*\n");
    names.insert(names.end(), {"old game.pgn", "notes.txt", "2025-01-31 142501 Ann vs Bob.pgn"});

    CPlayedGames list;
    list.Refresh(*drive);
    const std::vector<std::string> expected = SelectionSorted(names);
    ASSERT_EQ(Files(list), expected);
    for (const std::string& file : expected)
        EXPECT_EQ(Label(list, file), ReadPlayedGameLabel(*drive, file.c_str()).GetText()) << file;
    // Spot checks that the labels are the names as typed, copies numbered.
    const std::string stamp = std::string(MakePlayedGameName("J", "G", 1700000000 + 2 * 86400 + 2).GetText()).substr(0, 17);
    EXPECT_EQ(Label(list, stamp + " Jrgen Gr vs Gnu Chess 5 (10).pgn"),
              stamp + " J\xc3\xbcrgen Gr\xc3\xb6\xc3\x9f vs Gnu Chess 5 (10)");
    const std::string bob = MakePlayedGameName("<b>Bob</b> & \"Al\"", "Zo\xc3\xab", 1700000000).GetText();
    EXPECT_EQ(Label(list, bob + ".pgn"), bob.substr(0, 17) + " <b>Bob</b> & \"Al\" vs Zo\xc3\xab");
    EXPECT_EQ(Label(list, "old game.pgn"), "") << "a file put there by hand keeps its name";
    EXPECT_EQ(Label(list, "2025-01-31 142501 Ann vs Bob.pgn"), "") << "tags that do not match the name";
}

TEST_F(PlayedGamesTest, FilesAreReadOnceAndAgainOnlyWhenTheyChange)
{
    const CString name = MakePlayedGameName("Ann", "Bob", 1700000000);
    CString file;
    ASSERT_TRUE(WritePlayedGame(*drive, name, Pgn("Ann", "Bob").c_str(), &file));
    const std::string stamp = std::string(name.GetText()).substr(0, 17);
    {
        CPlayedGames list;
        list.Refresh(*drive);
        EXPECT_EQ(Label(list, file.GetText()), stamp + " Ann vs Bob");
        // Same size and time: the label kept is shown, the file not read.
        ReplaceKeepingStamp(file.GetText(), Pgn("Ann", "Bib"));
        list.Refresh(*drive);
        EXPECT_EQ(Label(list, file.GetText()), stamp + " Ann vs Bob");
    }
    {
        // The next run takes the labels from the index beside the folder.
        CPlayedGames list;
        list.Refresh(*drive);
        EXPECT_EQ(Label(list, file.GetText()), stamp + " Ann vs Bob");
        EXPECT_TRUE(FileExists(root + "/" + CPlayedGames::IndexName()));
        // A changed file is read again.
        Put(file.GetText(), Pgn("Ann", "Bib") + "\n");
        list.Refresh(*drive);
        EXPECT_EQ(Label(list, file.GetText()), "") << "the tags no longer match the name (\"Bib\")";
        // A removed one is gone from the list.
        ASSERT_EQ(unlink(Path(file.GetText()).c_str()), 0);
        list.Refresh(*drive);
        EXPECT_TRUE(Files(list).empty());
    }
}

TEST_F(PlayedGamesTest, ADamagedIndexIsReadAroundAndTheFilesReadAgain)
{
    const CString name = MakePlayedGameName("Ann", "Bob", 1700000000);
    CString file;
    ASSERT_TRUE(WritePlayedGame(*drive, name, Pgn("Ann", "Bob").c_str(), &file));
    struct stat info;
    ASSERT_EQ(stat(Path(file.GetText()).c_str(), &info), 0);
    const std::string size = std::to_string(info.st_size);
    const std::string time = std::to_string(int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec);
    const std::string damaged[] = {
        "",
        "played games index 1\n" + size + "\t" + time + "\t" + file.GetText(),  // cut short
        "played games index 1\n-1\t" + time + "\t" + file.GetText() + "\tforged\n",
        "played games index 1\n" + size + "\t99999999999999999999\t" + file.GetText() + "\tforged\n",
        "played games index 1\n" + size + "\t" + time + "\t\tforged\n",
        "played games index 2\n" + size + "\t" + time + "\t" + file.GetText() + "\tforged\n",
        std::string(5000, '\t'),
    };
    const std::string stamp = std::string(name.GetText()).substr(0, 17);
    for (const std::string& index : damaged) {
        WriteWholeFile(root + "/" + CPlayedGames::IndexName(), index);
        CPlayedGames list;
        list.Refresh(*drive);
        EXPECT_EQ(Label(list, file.GetText()), stamp + " Ann vs Bob") << index;
    }
    // The index written in place of a damaged one is read as it was written.
    ReplaceKeepingStamp(file.GetText(), Pgn("Ann", "Bib"));
    CPlayedGames list;
    list.Refresh(*drive);
    EXPECT_EQ(Label(list, file.GetText()), stamp + " Ann vs Bob");
}

TEST_F(PlayedGamesTest, AnAddedGameIsListedInItsPlaceAndAFailureListsNothing)
{
    CPlayedGames list;
    list.Refresh(*drive);
    EXPECT_TRUE(Files(list).empty()) << "no folder yet";
    CString error;
    ASSERT_TRUE(list.Add(*drive, FreePlayedGameFile(*drive, MakePlayedGameName("Zed", "Bob", 1700000300)),
                         Pgn("Zed", "Bob").c_str(), error));
    ASSERT_TRUE(list.Add(*drive, FreePlayedGameFile(*drive, MakePlayedGameName("Ann", "Bob", 1700000000)),
                         Pgn("Ann", "Bob").c_str(), error));
    ASSERT_EQ(Files(list).size(), 2u);
    const std::string first = MakePlayedGameName("Ann", "Bob", 1700000000).GetText();
    EXPECT_EQ(Files(list)[0], first + ".pgn") << "the earlier game first, as the names sort";
    EXPECT_EQ(Label(list, first + ".pgn"), first);
    EXPECT_TRUE(error.IsEmpty());

    // A folder that cannot take the file: told why, nothing listed.
    RemoveTree(root + "/played games");
    WriteWholeFile(root + "/played games", "a file where the folder belongs");
    EXPECT_FALSE(list.Add(*drive, FreePlayedGameFile(*drive, MakePlayedGameName("Ann", "Cy", 1700000600)),
                          Pgn("Ann", "Cy").c_str(), error));
    EXPECT_FALSE(error.IsEmpty());
    list.Refresh(*drive);
    EXPECT_TRUE(Files(list).empty());
}
