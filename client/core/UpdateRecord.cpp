#include "client/core/UpdateRecord.h"

#include <atomic>
#include <memory>

#include "foundation/Config.h"
#include "foundation/Win32File.h"

using Zorlin::CConfig;
using Zorlin::CString;

namespace {

struct SPendingChecks {
    std::atomic<int> left{0};
    std::atomic<bool> failed{false};
    std::string path;
    std::string date;
    std::string checked;
};

void WriteRecord(const SPendingChecks& pending)
{
    CConfig record;
    {
        Zorlin::CWin32File file(pending.path.c_str(), Zorlin::CFile::kModeRead);
        if (file.IsOpen() && file.GetSize() < (64u << 10))
            record.Read(file);
    }
    record.GetValue(".date") = pending.date.c_str();
    record.GetValue(".checked") = pending.checked.c_str();
    record.WriteDiskFile(CString(pending.path.c_str()), true);
}

} // namespace

std::function<void(bool)> MakeUpdateRecorder(int count, const std::string& recordPath, const std::string& date,
                                             const std::string& checked)
{
    auto pending = std::make_shared<SPendingChecks>();
    pending->left = count;
    pending->path = recordPath;
    pending->date = date;
    pending->checked = checked;
    return [pending](bool succeeded) {
        if (!succeeded)
            pending->failed = true;
        if (--pending->left == 0 && !pending->failed)
            WriteRecord(*pending);
    };
}
