// The file members of CString: they live with the file layer so that the
// string core does not depend on it.
#include "foundation/File.h"
#include "foundation/String.h"

#include <cstdint>

namespace Zorlin {

namespace {

// Bytes from the position to the end, or -1 when there is nothing sensible
// to take (nothing left, or more than a string can hold beside `used`).
int BytesLeft(const CFile& file, int used)
{
    const int64_t left = int64_t(file.GetSize()) - int64_t(file.GetPosition());
    if (left <= 0 || left > int64_t(INT32_MAX) - 64 - used)
        return -1;
    return static_cast<int>(left);
}

} // namespace

CString::CString(CFile& file) : m_text(nullptr)
{
    const int left = file.IsOpen() ? BytesLeft(file, 0) : -1;
    Reserve(left > 0 ? left : 0);
    AppendFile(file);
}

void CString::AppendFile(CFile& file)
{
    if (!file.IsOpen())
        return;
    const int old = GetLength();
    const int left = BytesLeft(file, old);
    if (left <= 0)
        return;
    SetLength(old + left);
    char* text = GetBuffer();
    int got = 0;
    while (got < left && file.Read(text + old + got, static_cast<unsigned>(left - got)))
        got += static_cast<int>(file.GetLastReadCount());
    // Only what arrived counts; a short read leaves no undefined bytes.
    SetLength(old + got);
}

} // namespace Zorlin
