// rwpack: packs a folder into an archive (optionally appended to a host
// file), lists an archive and extracts one into a folder.
//
//   rwpack pack [-n NAME] [-s] [-c CHUNK] [-a] ARCHIVE FOLDER
//   rwpack list [-n NAME] ARCHIVE
//   rwpack extract [-n NAME] ARCHIVE FOLDER
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "foundation/ArchiveDrive.h"
#include "foundation/ArchiveFormat.h"
#include "foundation/AutoDirectory.h"
#include "foundation/DiskDrive.h"
#include "foundation/NameText.h"
#include "foundation/Win32File.h"

using namespace Zorlin;

namespace {

const char kUsage[] =
    "usage: rwpack pack [-n NAME] [-s] [-c CHUNK] [-a] ARCHIVE FOLDER\n"
    "       rwpack list [-n NAME] ARCHIVE\n"
    "       rwpack extract [-n NAME] ARCHIVE FOLDER\n"
    "  -n NAME   the archive's name (pack: default the folder's name;\n"
    "            list, extract: default the last archive of the file)\n"
    "  -s        store files as they are instead of compressing them\n"
    "  -c CHUNK  chunk size in bytes (default 8192)\n"
    "  -a        append to ARCHIVE instead of replacing it\n";

struct SOptions {
    std::string command;
    std::string name;
    bool hasName = false;
    bool store = false;
    bool append = false;
    unsigned chunk = ArchiveFormat::kDefaultChunkSize;
    std::vector<std::string> paths;
};

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

bool ParseChunk(const char* text, unsigned& chunk)
{
    char* end = nullptr;
    unsigned long value = std::strtoul(text, &end, 10);
    if (!*text || *end || value == 0 || value > ArchiveFormat::kMaxChunkSize)
        return false;
    chunk = unsigned(value);
    return true;
}

bool ParseOptions(int argc, char** argv, SOptions& options)
{
    if (argc < 2)
        return false;
    options.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-n" && i + 1 < argc) {
            options.name = argv[++i];
            options.hasName = true;
        } else if (arg == "-c" && i + 1 < argc) {
            if (!ParseChunk(argv[++i], options.chunk))
                return false;
        } else if (arg == "-s") {
            options.store = true;
        } else if (arg == "-a") {
            options.append = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return false;
        } else {
            options.paths.push_back(arg);
        }
    }
    size_t wanted = options.command == "list" ? 1 : 2;
    return options.paths.size() == wanted;
}

// ---------------------------------------------------------------- pack

class CPacker {
public:
    CPacker(CArchiveDrive& archive, CDiskDrive& disk, const std::string& skip, bool compress)
        : m_archive(archive), m_disk(disk), m_skip(skip), m_compress(compress)
    {
    }

    // Adds the disk drive's current folder into the archive's.
    bool PackFolder(int depth)
    {
        if (depth > ArchiveFormat::kMaxDepth)
            return Fail("folders nested too deep (a link loop?)", m_disk.GetCurrentDirectory());
        CArray<CString> names;
        if (!m_disk.ListDirectory(names, false))
            return Fail("cannot list", m_disk.GetCurrentDirectory());
        for (int i = 0; i < names.GetCount(); ++i) {
            const CString& name = *names.GetAt(i);
            if (!CArchiveDrive::IsEntryName(name))
                return Fail("a name an archive cannot hold", name);
            if (m_disk.IsDirectory(CURL(name))) {
                if (!PackSubfolder(name, depth))
                    return false;
            } else if (!PackFile(name)) {
                return false;
            }
        }
        return true;
    }

private:
    bool Fail(const char* why, const CString& what)
    {
        std::fprintf(stderr, "rwpack: %s: %s\n", why, what.GetText());
        return false;
    }

    bool PackSubfolder(const CString& name, int depth)
    {
        if (!m_archive.MakeDirectories(name.GetText()))
            return Fail("cannot add the folder", name);
        CAutoDirectory into(m_archive, name.GetText());
        CAutoDirectory from(m_disk, name.GetText());
        if (!into.Succeeded() || !from.Succeeded())
            return Fail("cannot enter the folder", name);
        return PackFolder(depth + 1);
    }

    bool PackFile(const CString& name)
    {
        CURL path(name);
        CString diskPath = m_disk.GetDiskPath(path);
        std::error_code error;
        if (!m_skip.empty() && std::filesystem::equivalent(diskPath.GetText(), m_skip, error))
            return true; // the archive being written
        CAutoPointer<CFile> file = m_disk.OpenFile(path, CFile::kModeRead);
        if (!file || !file->IsOpen())
            return Fail("cannot read", diskPath);
        if (!m_archive.AddFile(*file, name.GetText(), m_compress))
            return Fail("cannot add", diskPath);
        return true;
    }

    CArchiveDrive& m_archive;
    CDiskDrive& m_disk;
    std::string m_skip;
    bool m_compress;
};

std::string BaseName(const std::string& folder)
{
    std::filesystem::path path = std::filesystem::absolute(folder).lexically_normal();
    std::string name = path.filename().string();
    if (name.empty())
        name = path.parent_path().filename().string();
    return name.empty() ? std::string("archive") : name;
}

int Pack(const SOptions& options)
{
    const std::string& target = options.paths[0];
    const std::string& folder = options.paths[1];
    CDiskDrive disk(folder.c_str());
    if (!disk.IsValid()) {
        std::fprintf(stderr, "rwpack: not a folder: %s\n", folder.c_str());
        return 1;
    }
    std::error_code error;
    const bool existed = std::filesystem::exists(target, error);
    const uintmax_t hostSize = existed ? std::filesystem::file_size(target, error) : 0;
    const bool append = options.append && existed;
    unsigned mode = append ? (CFile::kModeWrite | CFile::kModeAppend) : (CFile::kModeWrite | CFile::kModeCreate);
    CWin32File* host = new CWin32File(target.c_str(), mode);
    CArchiveDrive archive;
    std::string name = options.hasName ? options.name : BaseName(folder);
    bool ok = archive.Create(host, name.c_str(), true, options.chunk);
    if (!ok)
        std::fprintf(stderr, "rwpack: cannot write %s\n", target.c_str());
    ok = ok && CPacker(archive, disk, target, !options.store).PackFolder(0);
    ok = archive.Finish(true) && ok;
    if (ok)
        return 0;
    // An appended archive is cut off again, so the host is as it was found;
    // a new file that holds no whole archive is removed.
    if (append) {
        std::filesystem::resize_file(target, hostSize, error);
        std::fprintf(stderr, "rwpack: packing failed; %s is as it was\n", target.c_str());
    } else {
        std::filesystem::remove(target, error);
        std::fprintf(stderr, "rwpack: packing failed; %s removed\n", target.c_str());
    }
    return 1;
}

// ---------------------------------------------------------------- list, extract

bool OpenArchive(const SOptions& options, CArchiveDrive& archive)
{
    const std::string& path = options.paths[0];
    CWin32File* host = new CWin32File(path.c_str(), CFile::kModeRead);
    if (!host->IsOpen()) {
        delete host;
        std::fprintf(stderr, "rwpack: cannot read %s\n", path.c_str());
        return false;
    }
    if (archive.Open(host, options.hasName ? options.name.c_str() : nullptr, true))
        return true;
    if (options.hasName)
        std::fprintf(stderr, "rwpack: %s holds no readable archive called %s\n", path.c_str(), options.name.c_str());
    else
        std::fprintf(stderr, "rwpack: %s holds no readable archive\n", path.c_str());
    return false;
}

void ListNode(const CArchiveDrive::CDirNode& node)
{
    for (const auto* item = node.GetNodeList().GetHead(); item; item = item->next) {
        const CArchiveDrive::SDirEntry& entry = *item->value.value;
        const char* path = entry.path.GetText() + 1; // without the root's '/'
        if (entry.IsFolder()) {
            std::printf("D %s\n", EscapeForLog(CString(path)).GetText());
            ListNode(*entry.node);
        } else {
            std::printf("F %s %u %s\n", EscapeForLog(CString(path)).GetText(), unsigned(entry.size),
                        entry.IsCompressed() ? "z" : "s");
        }
    }
}

int List(const SOptions& options)
{
    CArchiveDrive archive;
    if (!OpenArchive(options, archive))
        return 1;
    std::printf("A %s %u\n", EscapeForLog(archive.GetArchiveName()).GetText(), archive.GetChunkSize());
    ListNode(*archive.GetRootEntry().node);
    return 0;
}

int Extract(const SOptions& options)
{
    CArchiveDrive archive;
    if (!OpenArchive(options, archive))
        return 1;
    const std::string& folder = options.paths[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    CDiskDrive disk(folder.c_str());
    if (!disk.IsValid()) {
        std::fprintf(stderr, "rwpack: cannot make the folder %s\n", folder.c_str());
        return 1;
    }
    if (!disk.CopyTreeFrom(archive, true, false)) {
        std::fprintf(stderr, "rwpack: some files could not be extracted\n");
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    SOptions options;
    if (!ParseOptions(argc, argv, options))
        return Usage();
    if (options.command == "pack")
        return Pack(options);
    if (options.command == "list")
        return List(options);
    if (options.command == "extract")
        return Extract(options);
    return Usage();
}
