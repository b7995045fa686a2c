#pragma once

// The people the user has played: one profile file "opponents/<id>.cfg" per
// opponent in the user folder, with the picture "opponents/<id>.bmp" when
// their package had one. Ids come from other machines and name files, so
// only ids that IsProfileId takes are ever used.

#include <map>
#include <memory>
#include <string>

#include "foundation/AutoPointer.h"
#include "foundation/Config.h"
#include "foundation/String.h"

namespace Zorlin {
class CDrive;
class CFile;
}

class COpponentProfile {
public:
    COpponentProfile(Zorlin::CDrive& userDrive, const Zorlin::CString& id);

    // Reads the file on first use; true when the profile is there to use
    // (also when the file does not exist yet).
    bool Load();
    // Writes the profile to its file all at once.
    bool Save();
    // The picture beside the profile as a 96 x 72 BMP in memory, read under
    // the picture limit; else the program's no-photo picture.
    void OpenPhoto(Zorlin::CAutoPointer<Zorlin::CFile>& out);

    const Zorlin::CString& GetId() const { return m_id; }
    // The drive paths of the two files.
    Zorlin::CString GetPath() const;
    Zorlin::CString GetPhotoPath() const;
    int GetNumber() const { return m_number; }
    bool IsLoaded() const { return m_loaded; }

    // "profile.*" from the package, the user's own "Notes".
    Zorlin::CConfig m_profile;

private:
    friend class COpponentList;
    Zorlin::CDrive& m_drive;
    Zorlin::CString m_id;
    int m_number; // -1 until the list gives it one
    bool m_loaded;
};

class COpponentList {
public:
    // A profile file bigger than this is not read.
    static const uint32_t kMaxProfileFile = 65536;

    explicit COpponentList(Zorlin::CDrive& userDrive);

    // Takes every "<id>.cfg" of the opponents folder whose id is fit for a
    // file name; each new one gets the next number. Returns the count taken.
    int Load();
    // Deletes the opponent's files and forgets the entry; the others keep
    // their numbers.
    void Remove(int number);
    // Adds or updates the opponent of a profile archive: its "profile.*"
    // keys replace those stored (the user's Notes stay), its picture is
    // stored as the 96 x 72 photo (FitPhotoFile; a refused one is not), and
    // the profile file is written. Null when the archive is no
    // profile or its id is unfit for a file name.
    COpponentProfile* Install(Zorlin::CFile& profileArchive);
    COpponentProfile* InstallOpponentProfile(const Zorlin::CString& packagePath);

    // By id (ignoring case) or by number; null when there is none.
    COpponentProfile* Find(const Zorlin::CString& id);
    COpponentProfile* GetByNumber(int number);
    int GetCount() const { return int(m_entries.size()); }
    // The numbers given out, lowest first, and how many there were.
    std::map<int, Zorlin::CString> GetNumbers() const { return m_numbers; }
    int GetNumberCount() const { return m_numberCount; }

private:
    COpponentProfile& FindOrAdd(const Zorlin::CString& id);
    void GiveNumber(COpponentProfile& entry);

    Zorlin::CDrive& m_drive;
    std::map<std::string, std::unique_ptr<COpponentProfile>> m_entries; // by lower-case id
    std::map<int, Zorlin::CString> m_numbers;
    int m_numberCount;
};

// The name in a profile package on disk, and its id in id; both empty when
// the file is no profile package or its id is unfit for a file name.
Zorlin::CString ReadProfilePackage(const Zorlin::CString& packagePath, Zorlin::CString& id);
