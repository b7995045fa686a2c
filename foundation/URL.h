#pragma once

#include "foundation/Array.h"
#include "foundation/String.h"

namespace Zorlin {

// Path text of the drives: an optional drive name in square brackets, an
// optional device ending in ':', then folders separated by '/' or '\\' and a
// last name, as in "[prog]C:/games/board.cfg". Drive paths use '/' and end
// folders with '/'.
class CURL : public CString {
public:
    CURL() {}
    CURL(const char* text);
    CURL(const CString& text) : CString(text) {}

    CURL& operator=(const char* text)
    {
        Assign(text);
        return *this;
    }
    CURL& operator=(const CString& text)
    {
        Assign(text);
        return *this;
    }

    // Trims the path and splits it into its four parts; every '\\' of the
    // folder part becomes '/'. False for an empty path and for a '[' that
    // is never closed.
    bool Split(CString& drive, CString& device, CString& folders, CString& name) const;
    // The folder names (a pair of double quotes groups one) and the last name.
    bool SplitComponents(CArray<CString>& out, CString& name) const;
    bool IsAbsolute() const;

    void GetDirectory(CString& out) const;
    void GetFileName(CString& out) const;

    // Path append: one leading separator of part is dropped; null or empty
    // parts append nothing. The character and number forms of CString stay.
    using CString::Append;
    void Append(const char* part);
    void Append(const CString& part) { Append(part.GetText()); }

    // Applies a relative path to this one: "." is skipped, ".." goes up and
    // stops at the top, a leading separator starts again from the top.
    // The result is always normal, so joining it below a root can never
    // leave that root.
    void Resolve(const char* relative);

    // True for a single name that is safe to use below a folder: not empty,
    // not "." or "..", and holding no '/', '\\', ':', zero byte, nor the
    // double quote that groups names in a path. Names from outside
    // (archives, ids) must pass this before they are used.
    static bool IsPlainName(const CString& name);
};

} // namespace Zorlin
