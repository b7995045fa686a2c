#pragma once

// The parts of installing from a package that every installer shares: the
// tree of a package folder read with every name checked, and files copied
// out of it whole, programs made runnable on the way.

#include <cstdint>
#include <vector>

#include "foundation/String.h"

namespace Zorlin {

class CDiskDrive;
class CDrive;

struct SPackageEntry {
    CString path; // relative to the folder walked; folders end in '/'
    bool folder = false;
    uint32_t size = 0; // of a file, as the drive tells it
};

// The tree below the drive's current folder, folders before their contents,
// in listing order. False, with the offending path in problem, when a name
// could reach outside its folder (see CURL::IsPlainName), a folder cannot be
// entered, or folders nest deeper than maxDepth below the top.
bool WalkPackage(CDrive& package, int maxDepth, std::vector<SPackageEntry>& entries, CString& problem);

// Whether a file starting with these count bytes is a program: an ELF image
// or a script starting with "#!".
bool IsProgramImage(const unsigned char* head, unsigned count);

// Permission bits for a file written from a package: 0755 for a program
// (by its content, or namedProgram when the package names it so), -1 (the
// existing file's bits, or the default) otherwise. Archives store no modes,
// so the content decides.
int ChoosePackageMode(const unsigned char* head, unsigned count, bool namedProgram);

// The most a package may hold, all its files' sizes together: far above
// any real engine, board, voice or update, far below a full disk.
const uint64_t kMaxPackageBytes = uint64_t(512) << 20;
// The most files and folders a package may hold: real ones hold a few
// hundred.
const size_t kMaxPackageEntries = 4096;
// Room left on the disk after an install, so it never fills it.
const uint64_t kPackageSpareBytes = uint64_t(64) << 20;

// The sizes the entries declare, added up.
uint64_t DeclaredPackageBytes(const std::vector<SPackageEntry>& entries);
// Whether the files fit: no more than kMaxPackageEntries of them, their
// total within kMaxPackageBytes and, with
// kPackageSpareBytes to spare, within the free space of the disk that holds
// diskFolder. False with the reason in problem.
bool CheckPackageRoom(const std::vector<SPackageEntry>& entries, const CString& diskFolder, CString& problem);

enum EPackageCopy {
    kPackageCopied,
    kPackageCopyFailed,
    kPackageFileTooLong, // held more than it declared: nothing written
};

// Copies the package file from over the disk file to: written beside it and
// renamed over it, so a program that is running keeps its old image and a
// failed or short copy leaves the old file whole. At most declaredSize
// bytes are taken; a file that holds more is cut off and not written.
EPackageCopy CopyPackageFile(CDrive& package, const CString& from, CDiskDrive& target, const CString& to,
                             bool namedProgram, uint32_t declaredSize);

} // namespace Zorlin
