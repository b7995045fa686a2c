#pragma once

// At most one question of a kind put to the user at a time. A peer may
// send the same request many times in a row; the first is asked, and every
// repeat that came while that question was open is refused (the caller
// logs it), so a flood makes one question, not one per request.
//
// Requests are placed by their position in the stream from the peer (the
// count of bytes received up to the request's end). When a question
// closes, its horizon is the count of bytes that had come in by then, read
// or still waiting: a request of that kind placed up to the horizon came
// while the question was open.

#include <cstdint>

class CRequestGate {
public:
    static constexpr int kMaxKinds = 8;

    // Opens a question of kind for a request ending at position; false (and
    // nothing changes) when one of the kind is open or the request came
    // while the last one was.
    bool Open(int kind, uint64_t position = 0);
    // The question of kind is answered; horizon as above (0: none).
    void Close(int kind, uint64_t horizon = 0);
    bool IsOpen(int kind) const;
    // A new connection: nothing open, no horizon.
    void Reset();

private:
    bool Valid(int kind) const { return kind >= 0 && kind < kMaxKinds; }

    bool m_open[kMaxKinds] = {};
    uint64_t m_horizon[kMaxKinds] = {};
};
