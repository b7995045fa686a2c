#include "client/view/SkinName.h"

using Zorlin::CString;

bool IsPackageFileName(const CString& name)
{
    const int length = name.GetLength();
    if (length == 0)
        return false;
    const char* text = name.GetText();
    if (text[0] == '/' || text[0] == '\\' || text[0] == '[')
        return false;
    int componentStart = 0;
    for (int i = 0; i <= length; ++i) {
        const char c = i < length ? text[i] : '/';
        if (c == ':' || c == '"' || (c != '/' && c != '\\' && (unsigned char)c < 32))
            return false;
        if (c != '/' && c != '\\')
            continue;
        const int n = i - componentStart;
        if (n == 0)
            return false;
        if (n == 2 && text[componentStart] == '.' && text[componentStart + 1] == '.')
            return false;
        componentStart = i + 1;
    }
    return true;
}
