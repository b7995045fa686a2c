#pragma once

namespace Zorlin {
class CFile;
}

// One sound held in the sound library, loaded from a file's bytes. An empty
// sample (nothing loaded, or sound off) plays nothing.
class CSoundSample {
public:
    // Sample files above this are refused: packs come from other machines.
    static constexpr unsigned kMaxFileSize = 8u << 20;

    CSoundSample() : m_handle(0) {}
    ~CSoundSample() { Free(); }
    CSoundSample(const CSoundSample&) = delete;
    CSoundSample& operator=(const CSoundSample&) = delete;

    // Reads the whole file; false when sound is off, the file is not open,
    // is empty or too big, or the library cannot decode it. A sample held
    // before is freed first.
    bool Load(Zorlin::CFile& file);
    // The channel the sound plays on, or -1 when nothing plays.
    int Play(int channel);
    // Seconds, from the decoded length and the output rate; 0 when empty.
    double GetLength() const;
    void Free();
    bool IsEmpty() const { return m_handle == 0; }

private:
    unsigned m_handle;
};
