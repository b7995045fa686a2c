#pragma once

namespace Zorlin {

class CBuffer;
class CFile;

// A byte sink. Begin and End bracket a batch of writes, so a stream that
// sends to a connection can send the batch in one piece.
class COutputStream {
public:
    COutputStream() : m_nullLineEnd(false), m_lineStyle(kLineLf) {}
    virtual ~COutputStream() {}

    virtual void Begin() {}
    // Returns the count of bytes written.
    virtual int Write(const CBuffer& data) = 0;
    // Returns whether the batch went out.
    virtual bool End() { return true; }
    virtual void Flush() {}
    virtual bool IsOpen() const = 0;
    // A single 0 byte each with the null line end, else CR LF, LF or CR by
    // the style (any other style writes nothing).
    virtual void WriteNewLine(int count);
    virtual void WriteTab(int count);

    COutputStream& WriteString(const char* text);
    COutputStream& WriteChar(char c);
    // count -1 copies until the source is exhausted; returns the bytes copied.
    int CopyFromFile(CFile& source, int count);

    void SetNullLineEnd(bool on) { m_nullLineEnd = on; }
    void SetLineStyle(int style) { m_lineStyle = style; }
    int GetLineStyle() const { return m_lineStyle; }

    enum { kLineCrLf = 0, kLineLf = 1, kLineCr = 2 };

protected:
    // Writes n bytes that the caller keeps; returns the count written.
    int WriteBytes(const void* data, int n);

private:
    bool m_nullLineEnd;
    int m_lineStyle;
};

// An output stream into a file, optionally owning it.
class CFileOutputStream : public COutputStream {
public:
    explicit CFileOutputStream(CFile* file = nullptr, bool ownsFile = false)
        : m_file(file), m_ownsFile(ownsFile) {}
    ~CFileOutputStream() override;
    CFileOutputStream(const CFileOutputStream&) = delete;
    CFileOutputStream& operator=(const CFileOutputStream&) = delete;

    int Write(const CBuffer& data) override;
    void Flush() override;
    bool IsOpen() const override;

    void SetFile(CFile* file, bool ownsFile);
    CFile* GetFile() const { return m_file; }

private:
    CFile* m_file;
    bool m_ownsFile;
};

} // namespace Zorlin
