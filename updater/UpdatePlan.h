#pragma once

#include <cstdint>
#include <vector>

#include "foundation/PackageFiles.h"
#include "foundation/String.h"

namespace Zorlin {
class CDrive;
}

// What an update package will write, read from the package's current folder
// before anything on disk is touched. Every name is checked on the way in,
// and every file can be read through once (Verify), so a damaged or hostile
// package is refused while the program folder is still as it was.
class CUpdatePlan {
public:
    using SItem = Zorlin::SPackageEntry;

    // Walks the drive's current folder, folders before their contents (see
    // Zorlin::WalkPackage). False when an entry has a name that could reach
    // outside its folder.
    bool Build(Zorlin::CDrive& package);
    // Reads every file of the plan whole. False at the first that cannot be.
    bool Verify(Zorlin::CDrive& package);

    const std::vector<SItem>& GetItems() const { return m_items; }
    int GetFileCount() const;
    // Whether the top folder holds a file called name (ignoring case).
    bool HasTopFile(const char* name) const;
    // The package's own spelling of that file, empty when there is none.
    Zorlin::CString FindTopFile(const char* name) const;
    // The size it declares, 0 when there is none.
    uint32_t FindTopFileSize(const char* name) const;
    // The path that made Build or Verify fail.
    const Zorlin::CString& GetProblem() const { return m_problem; }

private:
    std::vector<SItem> m_items;
    Zorlin::CString m_problem;
};
