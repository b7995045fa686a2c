#pragma once

// The rules of installing a package, without any window: which product and
// kind a manifest names, which names from an archive may be written, and
// which installed files must stay runnable.

#include <vector>

#include "foundation/String.h"

namespace Zorlin {
class CDrive;
}

// The one product name this client accepts packages for.
extern const char* const kAcceptedProduct;

// Whether the manifest's product list (names separated by ",", blanks around
// each ignored) names the accepted product, ignoring case. listText gets the
// names in single quotes joined with " or ", for the refusal message.
bool IsPackageForProduct(const Zorlin::CString& major, Zorlin::CString& listText);
// The refusal for a package of another product.
Zorlin::CString WrongProductMessage(const Zorlin::CString& listText);

enum PackageKind { kPackageEngine, kPackageBoard, kPackageVoice, kPackagePgn, kPackageUpdate };

struct SPackageKind {
    PackageKind kind;
    const char* minor;        // the manifest's contents.minor, case ignored
    const char* questionHead; // before the description in the question
    const char* targetFolder; // on the program drive; the pgn target is per user
    const char* successText;  // null for an update
};

// The kind named by contents.minor; null for an unknown kind.
const SPackageKind* FindPackageKind(const Zorlin::CString& minor);
// Where a kind installs on the program drive, from its root with a
// trailing '/'; pgn goes into the user's played games.
Zorlin::CString PackageTargetFolder(const SPackageKind& kind, const Zorlin::CString& userName);

// A path of plain names joined by '/' (see CURL::IsPlainName), so it cannot
// leave the folder it is joined to; a trailing '/' marks a folder.
bool IsConfinedPath(const Zorlin::CString& path);

struct SPackageItem {
    Zorlin::CString path; // relative; folders end in '/'
    bool folder = false;
};

// The tree below the drive's current folder, folders before their contents,
// in listing order. False, with the offending path in problem, when a name
// could reach outside its folder or the tree nests too deep.
bool CollectPackageItems(Zorlin::CDrive& package, std::vector<SPackageItem>& items, Zorlin::CString& problem);

// Permission bits for an installed file: 0755 for a program (an ELF image,
// a script starting with "#!", or the file an engine's info.cfg names as its
// program), -1 (the existing file's bits, or the default) otherwise. The
// archive format stores no modes, so the content decides.
int ChooseInstallMode(const unsigned char* head, unsigned count, bool namedProgram);

// The program an engine package's info.cfg text names under exe, as a path
// relative to the engine's folder; empty when it names an absolute path or
// something that is not a confined path.
Zorlin::CString EngineProgramPath(const Zorlin::CString& infoText);
