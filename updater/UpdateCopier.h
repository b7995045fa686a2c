#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "foundation/String.h"

namespace Zorlin {
class CDiskDrive;
class CDrive;
}

class CUpdatePlan;

// Writes the files of an update package into the program folder. Each file
// is written beside its target and renamed over it, so a program that is
// running keeps its old image and nobody ever sees half a file. Archives
// keep no permission bits, so a file whose content is a program (an ELF
// image or a script with "#!") is made runnable.
class CUpdateCopier {
public:
    CUpdateCopier(Zorlin::CDrive& package, Zorlin::CDiskDrive& program);

    // Copies the package file from to the program-folder path to; a file
    // holding more than declaredSize bytes is cut off and not written.
    bool CopyFile(const Zorlin::CString& from, const Zorlin::CString& to, uint32_t declaredSize);
    // Called before each file is copied, with its number from 1.
    using Progress = std::function<void(int n, int count, const Zorlin::CString& path)>;
    void SetProgress(Progress progress) { m_progress = std::move(progress); }
    // Copies every item of the plan except the top-level file skip (may be
    // empty); what could not be made or written goes to failed. A folder
    // that cannot be made takes its contents with it.
    void CopyAll(const CUpdatePlan& plan, const Zorlin::CString& skip, std::vector<Zorlin::CString>& failed);

private:
    Zorlin::CDrive& m_package;
    Zorlin::CDiskDrive& m_program;
    Progress m_progress;
};
