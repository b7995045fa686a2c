#pragma once

namespace Zorlin {

class CDrive;

// Enters a folder of a drive for one scope and changes back at its end.
// Callers test Succeeded before working inside the folder; a failed entry
// leaves the drive where it was.
class CAutoDirectory {
public:
    // A null path only saves the current folder and counts as success.
    CAutoDirectory(CDrive& drive, const char* path);
    ~CAutoDirectory();
    CAutoDirectory(const CAutoDirectory&) = delete;
    CAutoDirectory& operator=(const CAutoDirectory&) = delete;

    bool Succeeded() const { return m_ok; }
    explicit operator bool() const { return m_ok; }

private:
    CDrive* m_drive;
    bool m_ok;
};

} // namespace Zorlin
