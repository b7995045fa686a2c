#pragma once

// Builds transport files for the package tests with the archive writer the
// client reads them with, from real folders of the repository and from
// bytes made in the test.

#include <string>
#include <vector>

#include "testsupport/TempFiles.h"

namespace PackageTest {

struct SEntry {
    std::string path;  // below the archive's root, '/' between names
    std::string bytes; // a folder when path ends in '/'
};

// The manifest contents.cfg of a package.
SEntry Manifest(const std::string& major, const std::string& minor, const std::string& description);
// Every file and folder below folder on disk, under prefix ("contents/x/").
void AddFolder(std::vector<SEntry>& entries, const std::string& folder, const std::string& prefix);
// Writes the archive to file; false when the writer refused an entry.
bool WriteArchive(const std::string& file, const std::vector<SEntry>& entries, const char* name = "package");

// The relative paths of the files below folder, sorted.
std::vector<std::string> ListFiles(const std::string& folder);
inline std::string ReadFile(const std::string& path) { return RookwellTest::ReadWholeFile(path); }
inline void WriteFile(const std::string& path, const std::string& bytes) { RookwellTest::WriteWholeFile(path, bytes); }
bool IsExecutable(const std::string& path);
// A new empty folder under the system's temporary folder.
using RookwellTest::MakeTempFolder;
using RookwellTest::RemoveTree;

} // namespace PackageTest
