#include "client/dialogs/GameOverOptions.h"

#include <unistd.h>

#include "client/core/PlayedGameFile.h"
#include "client/core/PlayedGames.h"
#include "client/dialogs/MatchStatistics.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/URL.h"

using Zorlin::CConfig;
using Zorlin::CDrive;
using Zorlin::CString;
using Zorlin::CURL;

const char* const kNotedGameKey = ".preferences.matches.noted";

namespace {

const struct {
    int result;
    const char* word;
} kResultWords[] = {{1, "won"}, {0, "drawn"}, {-1, "lost"}};

// "won 2026-12-10 101500 Ann vs Computer.pgn"
CString MakeNote(int result, const CString& file)
{
    for (const auto& entry : kResultWords)
        if (entry.result == (result > 0 ? 1 : result < 0 ? -1 : 0))
            return CString(entry.word) + " " + file;
    return CString();
}

bool ReadNote(const CString& note, int& result, CString& file)
{
    int space = -1;
    if (!note.Find(' ', &space, 0) || space <= 0)
        return false;
    const CString word = note.Mid(0, space - 1);
    file = note.Mid(space + 1);
    const int n = file.GetLength();
    if (n <= 4 || file.Mid(n - 4) != ".pgn" || !CURL::IsPlainName(file))
        return false;
    for (const auto& entry : kResultWords)
        if (word == entry.word) {
            result = entry.result;
            return true;
        }
    return false;
}

} // namespace

SGameOverDone CarryOutGameOver(CDrive& userDrive, CConfig& user, CPlayedGames& played, const SFinishedGame& game,
                               SGameOverChoice choice, const std::function<bool()>& saveSettings)
{
    SGameOverDone done;
    const CString file = choice.keepPgn ? FreePlayedGameFile(userDrive, game.pgnName) : CString();
    const bool noted = choice.count && choice.keepPgn;
    bool saved = false;
    if (choice.count) {
        RecordMatchResult(user, game.result);
        if (noted)
            user.GetValue(kNotedGameKey) = MakeNote(game.result, file);
        saved = saveSettings();
    }
    // The saved copy goes only once the game is kept.
    done.lost = choice.keepPgn && !played.Add(userDrive, file, game.pgn, done.error);
    if (choice.removeSaved && !done.lost && !game.savedPath.IsEmpty())
        done.removed = unlink(game.savedPath.GetText()) == 0;
    if (noted) {
        // Emptied rather than removed: a save keeps the keys only on disk.
        user.GetValue(kNotedGameKey) = CString();
        if (saved)
            saveSettings();
    }
    return done;
}

bool SettleNotedGameCount(CDrive& userDrive, CConfig& user)
{
    const CString note = user.GetValueOr(kNotedGameKey, "");
    if (note.IsEmpty())
        return false;
    int result = 0;
    CString file;
    if (ReadNote(note, result, file) && !userDrive.Exists(CURL(CString("/played games/") + file)))
        TakeBackMatchResult(user, result);
    user.GetValue(kNotedGameKey) = CString();
    return true;
}
