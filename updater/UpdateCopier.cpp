#include "updater/UpdateCopier.h"

#include "foundation/AtomicFile.h"
#include "foundation/AutoPointer.h"
#include "foundation/DiskDrive.h"
#include "foundation/File.h"
#include "foundation/URL.h"
#include "updater/UpdatePlan.h"

using Zorlin::CAtomicFile;
using Zorlin::CAutoPointer;
using Zorlin::CDiskDrive;
using Zorlin::CDrive;
using Zorlin::CFile;
using Zorlin::CString;
using Zorlin::CURL;

namespace {

bool StartsWith(const CString& text, const CString& prefix)
{
    return text.GetLength() >= prefix.GetLength() && text.MatchAt(prefix, 0);
}

} // namespace

CUpdateCopier::CUpdateCopier(CDrive& package, CDiskDrive& program) : m_package(package), m_program(program) {}

int CUpdateCopier::ChooseMode(const unsigned char* head, unsigned count)
{
    const bool elf = count >= 4 && head[0] == 0x7f && head[1] == 'E' && head[2] == 'L' && head[3] == 'F';
    const bool script = count >= 2 && head[0] == '#' && head[1] == '!';
    return elf || script ? 0755 : -1;
}

int CUpdateCopier::ModeOf(CFile& source)
{
    unsigned char head[4] = {0, 0, 0, 0};
    unsigned count = 0;
    if (source.GetSize() > 0 && source.Read(head, sizeof head))
        count = source.GetLastReadCount();
    source.Seek(0, CFile::kSeekStart);
    return ChooseMode(head, count);
}

bool CUpdateCopier::CopyFile(const CString& from, const CString& to)
{
    CAutoPointer<CFile> source = m_package.OpenFile(CURL(from), CFile::kModeRead);
    if (!source || !source->IsOpen())
        return false;
    const int mode = ModeOf(*source);
    if (source->GetPosition() != 0)
        return false;
    CAtomicFile target;
    if (!target.Open(m_program.GetDiskPath(CURL(to)), mode))
        return false;
    // The atomic writer stops quietly at a short read; a file cut short by a
    // damaged package must not replace a whole one.
    if (!target.WriteFrom(*source) || source->GetPosition() != source->GetSize()) {
        target.Abort();
        return false;
    }
    return target.Commit();
}

void CUpdateCopier::CopyAll(const CUpdatePlan& plan, const CString& skip, std::vector<CString>& failed)
{
    std::vector<CString> lostFolders;
    for (const CUpdatePlan::SItem& item : plan.GetItems()) {
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
        if (!CopyFile(item.path, item.path))
            failed.push_back(item.path);
    }
}
