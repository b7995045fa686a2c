#pragma once

#include "foundation/File.h"

namespace Zorlin {

// Stands for a file that could not be opened: a drive hands one out instead
// of a null pointer, so callers always get an object to test.
class CNullFile : public CFile {
public:
    using CFile::Read;
    using CFile::Write;

    bool Open(const CString&, unsigned) override { return false; }
    void Close() override {}
    uint64_t GetSize() const override { return 0; }
    bool Read(void*, unsigned) override;
    bool Write(const void*, unsigned) override;
    bool Seek(int64_t, int) override { return false; }
    uint64_t GetPosition() const override { return 0; }
    bool IsOpen() const override { return false; }
    bool IsNull() const override { return true; }
};

} // namespace Zorlin
