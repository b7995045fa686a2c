#pragma once
// Temporary folders and whole-file reads and writes for tests.

#include <string>
#include <vector>

namespace RookwellTest {

// A new empty folder "rookwell-<tag>-XXXXXX" in the system's temporary
// folder; empty when it could not be made.
std::string MakeTempFolder(const char* tag);
// Removes path and everything below it; nothing for an empty path.
void RemoveTree(const std::string& path);
// The whole file, or empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// Writes bytes to path, making the folders above it.
void WriteWholeFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// The names of a folder's entries, hidden ones included, sorted.
std::vector<std::string> ListFolder(const std::string& folder);

// TMPDIR is a new folder of its own while this lives; the folder and what
// was left in it go with it. For code that leaves files in TMPDIR by
// design (the copies handed to a mail program).
class CScopedTempDir {
public:
    explicit CScopedTempDir(const char* tag);
    ~CScopedTempDir();
    CScopedTempDir(const CScopedTempDir&) = delete;
    CScopedTempDir& operator=(const CScopedTempDir&) = delete;
    const std::string& Path() const { return m_folder; }

private:
    std::string m_folder;
    std::string m_old;
    bool m_hadOld;
};

}  // namespace RookwellTest
