#include "testsupport/TempFiles.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdlib.h>
#include <vector>

namespace fs = std::filesystem;

namespace RookwellTest {

std::string MakeTempFolder(const char* tag)
{
    std::error_code failed;
    const fs::path base = fs::temp_directory_path(failed);
    std::string pattern = ((failed ? fs::path("/tmp") : base) / (std::string("rookwell-") + tag + "-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    const char* made = mkdtemp(buffer.data());
    return made ? std::string(made) : std::string();
}

void RemoveTree(const std::string& path)
{
    std::error_code ignored;
    if (!path.empty())
        fs::remove_all(path, ignored);
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes)
{
    const fs::path folder = fs::path(path).parent_path();
    if (!folder.empty())
        fs::create_directories(folder);
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

bool FileExists(const std::string& path)
{
    std::error_code ignored;
    return fs::exists(path, ignored);
}

std::vector<std::string> ListFolder(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

CScopedTempDir::CScopedTempDir(const char* tag) : m_folder(MakeTempFolder(tag))
{
    const char* old = getenv("TMPDIR");
    m_hadOld = old != nullptr;
    m_old = old ? old : "";
    setenv("TMPDIR", m_folder.c_str(), 1);
}

CScopedTempDir::~CScopedTempDir()
{
    if (m_hadOld)
        setenv("TMPDIR", m_old.c_str(), 1);
    else
        unsetenv("TMPDIR");
    RemoveTree(m_folder);
}

}  // namespace RookwellTest
