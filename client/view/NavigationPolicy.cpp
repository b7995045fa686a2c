#include "client/view/NavigationPolicy.h"

#include <cstring>

#include "foundation/LowerCase.h"

using Zorlin::CString;

namespace {

bool StartsWithNoCase(const CString& text, const char* prefix)
{
    int n = int(std::strlen(prefix));
    if (text.GetLength() < n)
        return false;
    for (int i = 0; i < n; ++i)
        if (Zorlin::LowerCaseByte(uint8_t(text[i])) != uint8_t(prefix[i]))
            return false;
    return true;
}

} // namespace

bool IsOutsideAddress(const CString& address)
{
    static const char* const kSchemes[] = {"http:", "https:", "ftp:", "mailto:"};
    for (const char* scheme : kSchemes)
        if (StartsWithNoCase(address, scheme))
            return true;
    return false;
}

ENavigation DecideNavigation(const CString& address, bool& ownNavigation)
{
    if (address.Find(CString("sponsor.htm")))
        return ENavigation::Allow;
    if (ownNavigation) {
        ownNavigation = false;
        return ENavigation::Allow;
    }
    if (IsOutsideAddress(address))
        return ENavigation::OpenOutside;
    if (address.Find(CString("LNK ")) || address.Find(CString("LNK%20")))
        return ENavigation::RunCommands;
    return ENavigation::Allow;
}
