// Opens arbitrary bytes as a host of archives, the last one and one found
// by name, then walks the tree and reads every file whole, in pieces and
// from a point inside. A read never gives more than the file's size, and
// every name in an opened archive is one a path can reach.

#include "foundation/ArchiveDrive.h"
#include "foundation/AutoDirectory.h"
#include "foundation/MemFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace Zorlin;

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void ReadFile(CFile& file)
{
    const uint32_t size = file.GetSize();
    uint8_t buffer[4096];
    uint64_t total = 0;
    while (file.Read(buffer, sizeof buffer))
        total += file.GetLastReadCount();
    Check(total <= size);
    if (size == 0)
        return;
    file.Seek(int(size / 2), CFile::kSeekStart);
    if (file.Read(buffer, 7))
        Check(file.GetLastReadCount() <= 7);
    file.Seek(-1, CFile::kSeekEnd);
    if (file.Read(buffer, sizeof buffer))
        Check(file.GetLastReadCount() == 1);
}

void Walk(CArchiveDrive& drive, int depth)
{
    Check(depth <= 80);
    CArray<CString> names;
    drive.ListDirectory(names, false);
    for (int i = 0; i < names.GetCount(); ++i) {
        const CString& name = *names.GetAt(i);
        Check(CArchiveDrive::IsEntryName(name));
        if (drive.IsDirectory(CURL(name))) {
            CAutoDirectory into(drive, name.GetText());
            Check(into.Succeeded());
            Walk(drive, depth + 1);
            continue;
        }
        CAutoPointer<CFile> file = drive.OpenFile(CURL(name), CFile::kModeRead);
        Check(file && file->IsOpen());
        ReadFile(*file);
    }
}

void Try(const uint8_t* data, size_t size, const char* name)
{
    CMemFile* host = new CMemFile();
    host->Open(CString("host"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    if (size > 0)
        host->Write(data, unsigned(size));
    CArchiveDrive drive;
    if (drive.Open(host, name, true))
        Walk(drive, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    Try(data, size, nullptr);
    Try(data, size, "first");
    return 0;
}
