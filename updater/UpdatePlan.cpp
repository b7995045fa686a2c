#include "updater/UpdatePlan.h"

#include "foundation/Array.h"
#include "foundation/AutoDirectory.h"
#include "foundation/AutoPointer.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/URL.h"

using Zorlin::CArray;
using Zorlin::CAutoDirectory;
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
    m_items.clear();
    m_problem = "";
    return Walk(package, CString(), 0);
}

bool CUpdatePlan::Walk(CDrive& package, const CString& prefix, int depth)
{
    if (depth > kMaxDepth) {
        m_problem = prefix;
        return false;
    }
    CArray<CString> names;
    package.ListDirectory(names, false);
    for (int i = 0; i < names.GetCount(); ++i) {
        const CString& name = *names.GetAt(i);
        if (!CURL::IsPlainName(name)) {
            m_problem = prefix + name;
            return false;
        }
        SItem item;
        item.folder = package.IsDirectory(CURL(name));
        item.path = prefix + name;
        if (!item.folder) {
            item.size = package.GetFileSize(CURL(name));
            m_items.push_back(item);
            continue;
        }
        item.path += '/';
        m_items.push_back(item);
        CAutoDirectory into(package, name.GetText());
        if (!into.Succeeded()) {
            m_problem = item.path;
            return false;
        }
        if (!Walk(package, item.path, depth + 1))
            return false;
    }
    return true;
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
