#pragma once

namespace Zorlin {

class CBuffer;
class CFile;

// A byte source.
class CReadableInputStream {
public:
    virtual ~CReadableInputStream() {}

    // Reads min(max, buffer size) bytes into the buffer's data (max -1: the
    // buffer's size); returns the count read.
    virtual int Read(CBuffer& buffer, int max = -1) = 0;
    // Moves count bytes; returns the distance moved.
    virtual int Skip(int count) = 0;
    // Bytes left, -1 when unknown.
    virtual int GetAvailable() const { return -1; }
    virtual bool IsOpen() const { return true; }
    virtual bool IsAtEnd() const { return false; }
};

// An input stream over a file. It owns the file and deletes it with itself.
class CReadableFileInputStream : public CReadableInputStream {
public:
    explicit CReadableFileInputStream(CFile* file);
    ~CReadableFileInputStream() override;
    CReadableFileInputStream(const CReadableFileInputStream&) = delete;
    CReadableFileInputStream& operator=(const CReadableFileInputStream&) = delete;

    int Read(CBuffer& buffer, int max = -1) override;
    int Skip(int count) override;
    int GetAvailable() const override;
    bool IsOpen() const override;
    bool IsAtEnd() const override;

    int GetLastReadCount() const { return m_lastRead; }

private:
    CFile* m_file;
    bool m_ownsFile;
    int m_lastRead;
};

} // namespace Zorlin
