#pragma once

// For tests of the one running client: folders of a test's own named in the
// environment (the user's data, the runtime folder, the temporary folder),
// processes that play other starts or other programs, and the raw bytes a
// local program may write to the hand-over socket.

#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace InstanceTest {

// The uid that plays another account where the tests run as root.
const unsigned kNobody = 65534;
bool IsRoot();

class CInstancePlaces {
public:
    CInstancePlaces();
    ~CInstancePlaces();
    CInstancePlaces(const CInstancePlaces&) = delete;
    CInstancePlaces& operator=(const CInstancePlaces&) = delete;

    bool IsReady() const { return !m_base.empty(); }
    // A variable set for the test's life (unset for an empty value).
    void SetVariable(const char* name, const std::string& value);

    // The lock of the program folder's client and what its holder recorded.
    std::string LockPath() const;
    std::string Record() const;
    // Replaces the record as a holder would write it.
    void WriteRecord(const std::string& text) const;

    std::string m_base;
    std::string m_program; // the program folder
    std::string m_runtime; // $XDG_RUNTIME_DIR, mode 0700
    std::string m_temporary; // $TMPDIR

private:
    std::vector<std::pair<std::string, std::string>> m_saved; // name, old value ("\1" for unset)
};

// A process of its own running body; the text body returns comes back when
// it ends. Its end is waited for with the toolkit's events handled, so it
// may talk to a client in this process.
class CChild {
public:
    explicit CChild(const std::function<std::string()>& body);
    ~CChild();
    CChild(const CChild&) = delete;
    CChild& operator=(const CChild&) = delete;

    bool HasEnded();
    // The body's text, or "(no end)" when the child did not end in minutes.
    std::string Wait();

private:
    pid_t m_pid = -1;
    int m_output = -1;
    bool m_ended = false;
    std::string m_text;
};

// In a forked child: closes its copies of the descriptors open on path, so
// that a lock the parent holds goes when the parent lets it go.
void CloseCopiesOf(const std::string& path);

// In a child: takes another account's uid and gid; false when it cannot.
bool BecomeNobody();

// A start of the program folder with files, as a child's body: "handed"
// when it handed them to the running client, "claimed" when it became the
// client itself, else the problem it would show.
std::string SecondStart(const std::string& program, const std::vector<std::string>& files);

// ---- raw bytes, for the children that play local programs
// A connected socket, or -1.
int ConnectTo(const std::string& socketPath);
std::string Frame(const std::string& payload);
// Announces length in a frame's length field.
std::string Length(uint32_t length);
bool SendAll(int fd, const std::string& bytes);
// Reads one answer within limitMs: "accepted", "refused: why", "closed"
// (the end, or a reset, without an answer) or "no answer".
std::string ReadAnswer(int fd, int limitMs);
// A valid hand-over of the files.
std::string HandOverBytes(const std::vector<std::string>& files);

// The process's highest resident memory so far, in KiB.
long PeakMemoryKiB();

} // namespace InstanceTest
