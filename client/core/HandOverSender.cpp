#include "client/core/HandOverSender.h"

#include <algorithm>
#include <unistd.h>

#include "client/core/HandOverFrame.h"
#include "client/core/HandOverMessage.h"
#include "client/core/RuntimeFolder.h"
#include "client/core/SocketBytes.h"

using Zorlin::CString;

namespace {

typedef std::chrono::steady_clock Clock;

int MillisecondsLeft(Clock::time_point deadline)
{
    const long long left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return int(std::max<long long>(0, std::min<long long>(left, 1 << 30)));
}

} // namespace

EHandOverResult SendHandOver(const CString& socketPath, const std::vector<char>& message,
                             Clock::time_point deadline, CString& why)
{
    why = CString();
    switch (SocketOwner(socketPath)) {
    case ESocketOwner::kMissing:
        return EHandOverResult::kNotThere;
    case ESocketOwner::kForeign:
        return EHandOverResult::kUnsafe;
    case ESocketOwner::kOwn:
        break;
    }
    const int fd = ConnectToSocket(socketPath);
    if (fd < 0)
        return EHandOverResult::kNotThere;
    // The bytes may wait in the socket until the client, still starting,
    // reads them: the write may take until the deadline.
    CSocketBytes socket(fd, std::max(1, MillisecondsLeft(deadline)));
    unsigned uid = 0;
    if (!socket.GetPeerUid(uid) || uid != unsigned(getuid()))
        return EHandOverResult::kUnsafe;
    const std::vector<char> frame = CHandOverFrame::Bytes(message);
    if (!socket.Write(frame.data(), int(frame.size())))
        return MillisecondsLeft(deadline) > 0 ? EHandOverResult::kNotThere : EHandOverResult::kNoAnswer;
    CHandOverFrame answer{uint32_t(kMaxAnswerBytes)};
    for (;;) {
        switch (answer.ReadFrom(socket)) {
        case CHandOverFrame::kWaiting:
            break;
        case CHandOverFrame::kEnded:
            return EHandOverResult::kNotThere;
        case CHandOverFrame::kBad:
            return EHandOverResult::kNotUnderstood;
        case CHandOverFrame::kWhole: {
            bool accepted = false;
            if (!ReadAnswer(answer.GetPayload().data(), answer.GetPayload().size(), accepted, why))
                return EHandOverResult::kNotUnderstood;
            return accepted ? EHandOverResult::kAccepted : EHandOverResult::kRefused;
        }
        }
        const int left = MillisecondsLeft(deadline);
        if (left == 0)
            return EHandOverResult::kNoAnswer;
        socket.WaitReadable(std::min(left, 1000));
    }
}
