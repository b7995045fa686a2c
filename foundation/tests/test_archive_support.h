// Helpers shared by the archive tests: byte patterns, temporary folders,
// in-memory hosts, and the Python reference implementation.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "foundation/ArchiveDrive.h"
#include "foundation/ArchiveFile.h"
#include "foundation/MemFile.h"

namespace ArchiveTest {

using Bytes = std::vector<uint8_t>;
using Zorlin::CArchiveDrive;
using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;
using Zorlin::CURL;

// Half text-like (compressible), half noise, so compressed chunks differ in length.
inline Bytes Pattern(size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes out(size);
    for (size_t i = 0; i < size; ++i)
        out[i] = (i / 512) % 2 ? uint8_t(rng()) : uint8_t('a' + (i * 7 + seed) % 26);
    return out;
}

inline Bytes ReadDisk(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteDisk(const std::string& path, const Bytes& data, bool append = false)
{
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

// A fresh folder under the system's temporary folder, removed afterwards.
class CTempDir {
public:
    CTempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "rwarchive-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back(0);
        m_path = ::mkdtemp(name.data()) ? name.data() : "";
    }
    ~CTempDir()
    {
        std::error_code error;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, error);
    }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// Runs a shell command; its exit status, and its standard output in out.
inline int RunCommand(const std::string& command, std::string* out = nullptr)
{
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, n);
    int status = ::pclose(pipe);
    if (out)
        *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string Quote(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline bool HavePython()
{
    return RunCommand("python3 -c 'import zlib, struct' >/dev/null 2>&1") == 0;
}

// The Python reader and writer: python3 archive_ref.py ARGS.
inline int Reference(const std::string& args, std::string* out = nullptr)
{
    std::string script = std::string(ROOKWELL_SOURCE) + "/foundation/tests/support/archive_ref.py";
    return RunCommand("python3 " + Quote(script) + " " + args + " 2>&1", out);
}

inline Bytes ReadAll(CFile& file)
{
    Bytes out;
    uint8_t buffer[3000];
    while (file.Read(buffer, sizeof buffer))
        out.insert(out.end(), buffer, buffer + file.GetLastReadCount());
    return out;
}

inline Bytes Contents(CMemFile& file)
{
    Bytes out(file.GetSize());
    file.Seek(0, CFile::kSeekStart);
    if (!out.empty())
        file.Read(out.data(), unsigned(out.size()));
    return out;
}

// A memory host holding the bytes, positioned at the end.
inline CMemFile* HostOf(const Bytes& data)
{
    CMemFile* host = new CMemFile();
    host->Open(CString("host"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    if (!data.empty())
        host->Write(data.data(), unsigned(data.size()));
    return host;
}

inline bool AddBytes(CArchiveDrive& drive, const char* name, const Bytes& data, bool compress)
{
    CMemFile* source = HostOf(data);
    source->Seek(0, CFile::kSeekStart);
    bool ok = drive.AddFile(*source, name, compress);
    delete source;
    return ok;
}

// Bytes of a member, or nothing plus a failure when it cannot be opened.
inline Bytes Member(CArchiveDrive& drive, const char* path)
{
    Zorlin::CAutoPointer<CFile> file = drive.OpenFile(CURL(path), CFile::kModeRead);
    EXPECT_TRUE(file && file->IsOpen()) << path;
    if (!file || !file->IsOpen())
        return {};
    return ReadAll(*file);
}

inline uint32_t Word(const Bytes& data, size_t at)
{
    return uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 | uint32_t(data[at + 2]) << 16 |
           uint32_t(data[at + 3]) << 24;
}

inline void PutWord(Bytes& data, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        data[at + i] = uint8_t(value >> (8 * i));
}

} // namespace ArchiveTest
