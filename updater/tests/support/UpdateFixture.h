// Shared by the updater tests: temporary folders, files on disk, and update
// packages written with our own archive writer.
#pragma once

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace UpdateTest {

// A fresh folder under /tmp, removed with everything in it afterwards.
class CTempFolder {
public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::string ReadText(const std::string& path);
// Writes the bytes, making the folders on the way.
void WriteText(const std::string& path, const std::string& text, int mode = 0644);
bool IsThere(const std::string& path);
// Permission bits, -1 when the path is missing.
int ModeOf(const std::string& path);

// Files and folders below root, each as a path relative to root (folders
// end in '/') and the file's bytes, in name order.
std::vector<std::pair<std::string, std::string>> Snapshot(const std::string& root);

// Archive paths ("contents/update/engines/stub/engine") and their bytes.
using PackageFiles = std::vector<std::pair<std::string, std::string>>;

// An update package at path: "contents.cfg" and the given files, each
// compressed when asked. False when the archive writer failed.
bool WritePackage(const std::string& path, const PackageFiles& files, bool compress = true);

// Where a member's stored bytes start in the package file, -1 when missing.
long DataOffset(const std::string& path, const std::string& member);
// Flips count bytes of the file from offset from.
void Spoil(const std::string& path, long from, long count);

// The first bytes of a program image and of a script.
std::string ElfImage(const std::string& tail);

} // namespace UpdateTest
