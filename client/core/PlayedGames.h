#pragma once

// The user's "played games" folder as the start page lists it: its file
// names in natural order, each with its label (PlayedGameLabel). A label
// is read from its file once and kept with the file's size and time, in
// memory and in "played games.idx" beside the folder, so a long-time
// user's thousands of games are not opened at every start, refresh or
// game end; a file that is new or changed is read again.

#include <cstdint>
#include <memory>

#include "foundation/Array.h"
#include "foundation/String.h"

namespace Zorlin {
class CDrive;
}

class CPlayedGames {
public:
    CPlayedGames();
    ~CPlayedGames();
    CPlayedGames(const CPlayedGames&) = delete;
    CPlayedGames& operator=(const CPlayedGames&) = delete;

    // Lists the folder again, reading only the labels of files not seen
    // with their size and time; the index file is rewritten when it was
    // out of date.
    void Refresh(Zorlin::CDrive& userDrive);

    // Writes a finished game as the file of the folder (WritePlayedGameFile;
    // FreePlayedGameFile gives a new one's name) and lists it. On failure
    // nothing is listed and error holds why, as the system says.
    bool Add(Zorlin::CDrive& userDrive, const Zorlin::CString& file, const Zorlin::CString& pgn,
             Zorlin::CString& error);

    // File names in natural order, and their labels (empty: show the name).
    const Zorlin::CArray<Zorlin::CString>& GetFiles() const { return m_files; }
    const Zorlin::CArray<Zorlin::CString>& GetLabels() const { return m_labels; }

    // The index file's name in the user folder.
    static const char* IndexName();

private:
    struct SEntry {
        Zorlin::CString label;
        int64_t size = -1;
        int64_t time = -1;
    };
    struct SKnown;

    void ReadIndex(const Zorlin::CString& path);
    bool WriteIndex(const Zorlin::CString& path) const;

    Zorlin::CString m_folder; // disk path of the folder listed, "" before the first
    std::unique_ptr<SKnown> m_known; // by file name
    Zorlin::CArray<Zorlin::CString> m_files;
    Zorlin::CArray<Zorlin::CString> m_labels;
};

// The one list of the running client, shared by the start page and the
// Game Over dialog.
CPlayedGames& GetPlayedGames();
