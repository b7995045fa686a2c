#pragma once

// The rules of installing a package, without any window: which product and
// kind a manifest names, which names from an archive may be written, and
// which installed files must stay runnable.

#include <vector>

#include "foundation/PackageFiles.h"
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

using SPackageItem = Zorlin::SPackageEntry;

// The tree below the drive's current folder (see Zorlin::WalkPackage), as
// deep as an installed package may nest.
bool CollectPackageItems(Zorlin::CDrive& package, std::vector<SPackageItem>& items, Zorlin::CString& problem);

// The program an engine package's info.cfg text names under exe, as a path
// relative to the engine's folder; empty when it names an absolute path or
// something that is not a confined path.
Zorlin::CString EngineProgramPath(const Zorlin::CString& infoText);
