#include "UpdateFixture.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

#include "foundation/ArchiveDrive.h"
#include "foundation/MemFile.h"
#include "foundation/Win32File.h"

namespace fs = std::filesystem;

namespace UpdateTest {

CTempFolder::CTempFolder()
{
    char pattern[] = "/tmp/updater-test-XXXXXX";
    m_path = ::mkdtemp(pattern) ? pattern : "";
}

CTempFolder::~CTempFolder()
{
    std::error_code error;
    if (!m_path.empty())
        fs::remove_all(m_path, error);
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

void WriteText(const std::string& path, const std::string& text, int mode)
{
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }
    ::chmod(path.c_str(), mode_t(mode));
}

bool IsThere(const std::string& path)
{
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

int ModeOf(const std::string& path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

std::vector<std::pair<std::string, std::string>> Snapshot(const std::string& root)
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::string relative = fs::relative(entry.path(), root).string();
        if (entry.is_directory())
            out.emplace_back(relative + "/", std::string());
        else
            out.emplace_back(relative, ReadText(entry.path().string()));
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool WritePackage(const std::string& path, const PackageFiles& files, bool compress)
{
    using Zorlin::CFile;
    std::error_code error;
    fs::create_directories(fs::path(path).parent_path(), error);
    Zorlin::CArchiveDrive archive;
    auto* host = new Zorlin::CWin32File(path.c_str(), CFile::kModeWrite | CFile::kModeCreate);
    bool ok = archive.Create(host, "update", true, 1024);
    PackageFiles all = {{"contents.cfg", "contents.major = Rookwell Lite\ncontents.minor = update\n"
                                         "description = A test update\n"}};
    all.insert(all.end(), files.begin(), files.end());
    for (const auto& file : all) {
        const std::string& name = file.first;
        size_t slash = name.rfind('/');
        std::string folder = slash == std::string::npos ? "" : name.substr(0, slash);
        std::string leaf = slash == std::string::npos ? name : name.substr(slash + 1);
        if (!folder.empty())
            ok = ok && archive.MakeDirectories(folder.c_str());
        ok = ok && archive.ChangeDirectory(Zorlin::CURL(("/" + folder).c_str()));
        Zorlin::CMemFile source;
        source.Open(Zorlin::CString(leaf.c_str()), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
        source.Write(file.second.data(), unsigned(file.second.size()));
        source.Seek(0, CFile::kSeekStart);
        ok = ok && archive.AddFile(source, leaf.c_str(), compress);
        ok = ok && archive.ChangeDirectory(Zorlin::CURL("/"));
    }
    return archive.Finish(true) && ok;
}

long DataOffset(const std::string& path, const std::string& member)
{
    Zorlin::CArchiveDrive archive;
    auto* host = new Zorlin::CWin32File(path.c_str(), Zorlin::CFile::kModeRead);
    if (!archive.Open(host, nullptr, true))
        return -1;
    const Zorlin::CArchiveDrive::SDirEntry* entry = archive.FindEntry(Zorlin::CURL(member.c_str()));
    if (!entry || !entry->IsFile())
        return -1;
    return long(archive.GetStart()) + long(entry->offset);
}

void Spoil(const std::string& path, long from, long count)
{
    std::string bytes = ReadText(path);
    for (long i = from; i < from + count && i >= 0 && size_t(i) < bytes.size(); ++i)
        bytes[size_t(i)] = char(bytes[size_t(i)] ^ 0x5a);
    WriteText(path, bytes);
}

std::string ElfImage(const std::string& tail)
{
    return std::string("\x7f" "ELF\x02\x01\x01", 7) + tail;
}

} // namespace UpdateTest
