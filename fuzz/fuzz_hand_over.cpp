// Feeds arbitrary bytes, in arbitrary pieces, to the running client's reader
// of hand-overs, as a local program writing to its socket would: the frame
// cut by CHandOverFrame, the files read by ReadHandOver, and the same bytes
// read as a second start reads the client's answer. Checked: nothing past
// the bound is kept, a refused frame keeps no payload, every file handed on
// is an absolute name within the bounds, and what was read writes back to
// the same message.
//
// Input: one byte of seed, then the wire.

#include "FuzzSupport.h"

#include "client/core/HandOverFrame.h"
#include "client/core/HandOverMessage.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using FuzzSupport::CChoices;
using FuzzSupport::Check;
using FuzzSupport::CWireDevice;
using Zorlin::CString;

namespace {

void CheckFiles(const std::vector<char>& message, const std::vector<CString>& files)
{
    Check(int(files.size()) <= kMaxHandedFiles);
    for (const CString& file : files)
        Check(file.GetLength() > 0 && file[0] == '/');
    Check(WriteHandOver(files) == message);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    CChoices choices(data[0]);
    CWireDevice wire(data + 1, size - 1, choices);
    CHandOverFrame frame{uint32_t(kMaxHandOverBytes)};
    CHandOverFrame::EState state = CHandOverFrame::kWaiting;
    while (state == CHandOverFrame::kWaiting && !wire.HasEnded())
        state = frame.ReadFrom(wire);
    if (state == CHandOverFrame::kWaiting)
        state = frame.ReadFrom(wire);
    Check(state != CHandOverFrame::kWaiting);
    if (state != CHandOverFrame::kWhole) {
        Check(frame.GetPayload().empty());
    } else {
        const std::vector<char>& message = frame.GetPayload();
        Check(message.size() > 0 && message.size() <= kMaxHandOverBytes);
        std::vector<CString> files;
        if (ReadHandOver(message.data(), message.size(), files))
            CheckFiles(message, files);
        else
            Check(files.empty());
    }
    bool accepted = false;
    CString why;
    if (ReadAnswer(reinterpret_cast<const char*>(data + 1), size - 1, accepted, why))
        Check(size_t(why.GetLength()) <= kMaxAnswerBytes);
    return 0;
}
