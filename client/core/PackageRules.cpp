#include "client/core/PackageRules.h"

#include <cstring>
#include <string>

#include "foundation/Array.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/URL.h"

using Zorlin::CArray;
using Zorlin::CConfig;
using Zorlin::CDrive;
using Zorlin::CString;
using Zorlin::CURL;

const char* const kAcceptedProduct = "Rookwell Lite";

namespace {

// The archive reader bounds nesting too; this keeps the walk finite over any drive.
const int kMaxDepth = 32;

const SPackageKind kKinds[] = {
    {kPackageEngine, "engine", "This will install the following chess engine:\n\n", "engines/",
     "Engine installed successfully."},
    {kPackageBoard, "board", "This will install the following board:\n\n", "boards/",
     "Board installed successfully.\n\nClick Options / Preferences then select the board tab to change board."},
    {kPackageVoice, "voice", "This will install the following voice:\n\n", "voices/",
     "Voice installed successfully.\n\nClick Options / Preferences then select the voice tab to change voice."},
    {kPackagePgn, "pgn", "This will install the following PGN file(s):\n\n", "played games/",
     "PGN installed successfully.\n\nTo open the PGN, click the filename under the 'Played Games' section."},
    {kPackageUpdate, "update", "This will install the following update:\n\n", nullptr, nullptr},
};

} // namespace

bool IsPackageForProduct(const CString& major, CString& listText)
{
    CArray<CString> products;
    major.Split(products, ",", nullptr, nullptr, false);
    listText = "";
    bool accepted = false;
    for (int i = 0; i < products.GetCount(); ++i) {
        CString product = *products.GetAt(i);
        product.Trim();
        if (!listText.IsEmpty())
            listText += " or ";
        listText += CString("'") + product + "'";
        accepted = accepted || (!product.IsEmpty() && Zorlin::KeysEqualNoCase(product, CString(kAcceptedProduct)));
    }
    if (products.GetCount() == 0)
        listText = "''";
    return accepted;
}

CString WrongProductMessage(const CString& listText)
{
    return CString("This package is for ") + listText + ".\n\nYou have '" + kAcceptedProduct + "'. \n\n" +
           "Can't continue with install.";
}

const SPackageKind* FindPackageKind(const CString& minor)
{
    for (const SPackageKind& kind : kKinds) {
        if (Zorlin::KeysEqualNoCase(minor, CString(kind.minor)))
            return &kind;
    }
    return nullptr;
}

CString PackageTargetFolder(const SPackageKind& kind, const CString& userName)
{
    if (kind.kind == kPackagePgn)
        return CString("/users/") + userName + "/" + kind.targetFolder;
    return CString("/") + (kind.targetFolder ? kind.targetFolder : "");
}

bool IsConfinedPath(const CString& path)
{
    std::string rest(path.GetText(), size_t(path.GetLength()));
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    if (rest.empty())
        return false;
    size_t start = 0;
    for (;;) {
        size_t slash = rest.find('/', start);
        std::string name = rest.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (!CURL::IsPlainName(CString(name.c_str())) || name.size() != std::strlen(name.c_str()))
            return false;
        if (slash == std::string::npos)
            return true;
        start = slash + 1;
    }
}

bool CollectPackageItems(CDrive& package, std::vector<SPackageItem>& items, CString& problem)
{
    return Zorlin::WalkPackage(package, kMaxDepth, items, problem);
}

CString EngineProgramPath(const CString& infoText)
{
    CConfig info;
    if (!info.ReadText(infoText.GetText(), infoText.GetLength()))
        return CString();
    CString exe = info.GetValueOr("exe", "");
    exe.Trim();
    if (exe.IsEmpty() || exe[0] == '/')
        return CString();
    if (exe.GetLength() > 2 && exe[0] == '.' && exe[1] == '/')
        exe = exe.Mid(2, exe.GetLength() - 1);
    return IsConfinedPath(exe) ? exe : CString();
}
