#include "PackageBuilder.h"

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

#include "foundation/ArchiveDrive.h"
#include "foundation/File.h"
#include "foundation/MemFile.h"
#include "foundation/URL.h"
#include "foundation/Win32File.h"

namespace fs = std::filesystem;
using Zorlin::CArchiveDrive;
using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;
using Zorlin::CURL;

namespace PackageTest {

SEntry Manifest(const std::string& major, const std::string& minor, const std::string& description)
{
    std::string text = "contents = {\n  major = \"" + major + "\"\n  minor = \"" + minor + "\"\n}\n";
    text += "description = \"" + description + "\"\n";
    return {"contents.cfg", text};
}

void AddFolder(std::vector<SEntry>& entries, const std::string& folder, const std::string& prefix)
{
    std::vector<fs::path> paths;
    for (const auto& item : fs::recursive_directory_iterator(folder))
        paths.push_back(item.path());
    std::sort(paths.begin(), paths.end());
    for (const fs::path& path : paths) {
        std::string relative = fs::relative(path, folder).generic_string();
        if (fs::is_directory(path))
            entries.push_back({prefix + relative + "/", ""});
        else
            entries.push_back({prefix + relative, ReadFile(path.string())});
    }
}

bool WriteArchive(const std::string& file, const std::vector<SEntry>& entries, const char* name)
{
    Zorlin::CWin32File host(CString(file.c_str()), CFile::kModeWrite | CFile::kModeCreate);
    if (!host.IsOpen())
        return false;
    CArchiveDrive archive;
    if (!archive.Create(&host, name, false, 8192))
        return false;
    bool ok = true;
    for (const SEntry& entry : entries) {
        std::string folder, leaf = entry.path;
        if (entry.path.back() == '/') {
            ok = archive.ChangeDirectory(CURL("/")) && archive.MakeDirectories(entry.path.c_str()) && ok;
            continue;
        }
        const size_t slash = entry.path.rfind('/');
        if (slash != std::string::npos) {
            folder = entry.path.substr(0, slash);
            leaf = entry.path.substr(slash + 1);
        }
        ok = archive.ChangeDirectory(CURL("/")) && ok;
        if (!folder.empty())
            ok = archive.MakeDirectories(folder.c_str()) && archive.ChangeDirectory(CURL(folder.c_str())) && ok;
        CMemFile memory;
        memory.Open(CString(leaf.c_str()), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
        if (!entry.bytes.empty())
            memory.Write(entry.bytes.data(), unsigned(entry.bytes.size()));
        memory.Seek(0, CFile::kSeekStart);
        ok = archive.AddFile(memory, leaf.c_str(), true) && ok;
    }
    return archive.Finish(true) && ok;
}

std::vector<std::string> ListFiles(const std::string& folder)
{
    std::vector<std::string> files;
    if (!fs::is_directory(folder))
        return files;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        if (item.is_regular_file())
            files.push_back(fs::relative(item.path(), folder).generic_string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool IsExecutable(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IXUSR) && (info.st_mode & S_IXOTH);
}

} // namespace PackageTest
