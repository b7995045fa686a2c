#include "updater/UpdateCopier.h"

#include "foundation/DiskDrive.h"
#include "foundation/PackageFiles.h"
#include "foundation/URL.h"
#include "updater/UpdatePlan.h"

using Zorlin::CDiskDrive;
using Zorlin::CDrive;
using Zorlin::CString;
using Zorlin::CURL;

namespace {

bool StartsWith(const CString& text, const CString& prefix)
{
    return text.GetLength() >= prefix.GetLength() && text.MatchAt(prefix, 0);
}

} // namespace

CUpdateCopier::CUpdateCopier(CDrive& package, CDiskDrive& program) : m_package(package), m_program(program) {}

bool CUpdateCopier::CopyFile(const CString& from, const CString& to, uint32_t declaredSize)
{
    return Zorlin::CopyPackageFile(m_package, from, m_program, to, false, declaredSize) == Zorlin::kPackageCopied;
}

void CUpdateCopier::CopyAll(const CUpdatePlan& plan, const CString& skip, std::vector<CString>& failed)
{
    std::vector<CString> lostFolders;
    const int count = plan.GetFileCount();
    int n = 0;
    for (const CUpdatePlan::SItem& item : plan.GetItems()) {
        if (!item.folder && m_progress)
            m_progress(++n, count, item.path);
        bool lost = false;
        for (const CString& folder : lostFolders)
            lost = lost || StartsWith(item.path, folder);
        if (lost)
            continue;
        if (item.folder) {
            if (!m_program.MakeDirectory(CURL(item.path))) {
                lostFolders.push_back(item.path);
                failed.push_back(item.path);
            }
            continue;
        }
        if (!skip.IsEmpty() && item.path == skip)
            continue;
        if (!CopyFile(item.path, item.path, item.size))
            failed.push_back(item.path);
    }
}
