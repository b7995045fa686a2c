#include "updater/UpdatePlan.h"

#include "foundation/AutoPointer.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/URL.h"

using Zorlin::CAutoPointer;
using Zorlin::CDrive;
using Zorlin::CFile;
using Zorlin::CString;
using Zorlin::CURL;

namespace {

// The archive reader bounds nesting too; this keeps the walk finite over any drive.
const int kMaxDepth = 64;

bool ReadWhole(CFile& file, uint32_t size)
{
    unsigned char block[16384];
    uint32_t total = 0;
    while (total < size) {
        uint32_t want = size - total < sizeof block ? size - total : uint32_t(sizeof block);
        if (!file.Read(block, want))
            return false;
        uint32_t got = file.GetLastReadCount();
        if (got == 0 || got > want)
            return false;
        total += got;
    }
    return true;
}

} // namespace

bool CUpdatePlan::Build(CDrive& package)
{
    return Zorlin::WalkPackage(package, kMaxDepth, m_items, m_problem);
}

bool CUpdatePlan::Verify(CDrive& package)
{
    for (const SItem& item : m_items) {
        if (item.folder)
            continue;
        CAutoPointer<CFile> file = package.OpenFile(CURL(item.path), CFile::kModeRead);
        if (!file || !file->IsOpen() || file->GetSize() != item.size || !ReadWhole(*file, item.size)) {
            m_problem = item.path;
            return false;
        }
    }
    return true;
}

int CUpdatePlan::GetFileCount() const
{
    int count = 0;
    for (const SItem& item : m_items)
        count += item.folder ? 0 : 1;
    return count;
}

CString CUpdatePlan::FindTopFile(const char* name) const
{
    for (const SItem& item : m_items) {
        if (!item.folder && Zorlin::KeysEqualNoCase(item.path, CString(name)))
            return item.path;
    }
    return CString();
}

bool CUpdatePlan::HasTopFile(const char* name) const
{
    return !FindTopFile(name).IsEmpty();
}

uint32_t CUpdatePlan::FindTopFileSize(const char* name) const
{
    for (const SItem& item : m_items) {
        if (!item.folder && Zorlin::KeysEqualNoCase(item.path, CString(name)))
            return item.size;
    }
    return 0;
}
