#include "client/core/HandOverMessage.h"

#include <algorithm>
#include <cstring>

#include "foundation/NameText.h"

using Zorlin::CString;

namespace {

// Lead the messages, so a stray writer to the socket is told apart.
const char kHandOverTag[] = "rookwell-files";
const char kAccepted[] = "rookwell-accepted";
const char kRefused[] = "rookwell-refused";

bool StartsWith(const char* data, size_t size, const char* tag, size_t tagSize)
{
    return size >= tagSize && memcmp(data, tag, tagSize) == 0;
}

bool IsPlainText(const char* text, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        if (static_cast<unsigned char>(text[i]) < 32 && text[i] != '\n')
            return false;
    return true;
}

} // namespace

std::vector<char> WriteHandOver(const std::vector<CString>& files)
{
    std::vector<char> bytes(kHandOverTag, kHandOverTag + sizeof kHandOverTag);
    for (const CString& file : files)
        bytes.insert(bytes.end(), file.GetText(), file.GetText() + file.GetLength() + 1);
    return bytes;
}

bool ReadHandOver(const char* data, size_t size, std::vector<CString>& files)
{
    files.clear();
    if (!data || size > kMaxHandOverBytes || !StartsWith(data, size, kHandOverTag, sizeof kHandOverTag) ||
        data[size - 1] != 0)
        return false;
    for (size_t at = sizeof kHandOverTag; at < size;) {
        const size_t length = strlen(data + at);
        if (length == 0 || data[at] != '/' || int(files.size()) == kMaxHandedFiles) {
            files.clear();
            return false;
        }
        files.push_back(CString(data + at));
        at += length + 1;
    }
    return true;
}

std::vector<CString> FitHandOver(const std::vector<CString>& files)
{
    std::vector<CString> fit;
    size_t size = sizeof kHandOverTag;
    for (const CString& file : files) {
        size += size_t(file.GetLength()) + 1;
        if (int(fit.size()) == kMaxHandedFiles || size > kMaxHandOverBytes)
            break;
        fit.push_back(file);
    }
    return fit;
}

CString LeftOutText(const std::vector<CString>& files, size_t handed)
{
    CString text;
    if (handed >= files.size())
        return text;
    if (handed == 0)
        text.AppendFormat("None of the %zu file%s is handed over; Rookwell is only raised.\n", files.size(),
                          files.size() == 1 ? "" : "s");
    else
        text.AppendFormat("Of %zu files, the first %zu %s handed over; Rookwell opens the first.\n", files.size(),
                          handed, handed == 1 ? "is" : "are");
    for (size_t i = handed; i < files.size(); ++i)
        text += CString("Left out: ") + Zorlin::EscapeForLog(files[i]) + "\n";
    return text;
}

std::vector<char> WriteAnswer(bool accepted, const CString& why)
{
    if (accepted)
        return std::vector<char>(kAccepted, kAccepted + sizeof kAccepted);
    std::vector<char> bytes(kRefused, kRefused + sizeof kRefused);
    const size_t room = kMaxAnswerBytes - sizeof kRefused;
    bytes.insert(bytes.end(), why.GetText(), why.GetText() + std::min(size_t(why.GetLength()), room));
    return bytes;
}

bool ReadAnswer(const char* data, size_t size, bool& accepted, CString& why)
{
    why = CString();
    if (!data || size > kMaxAnswerBytes)
        return false;
    if (size == sizeof kAccepted && memcmp(data, kAccepted, size) == 0) {
        accepted = true;
        return true;
    }
    if (!StartsWith(data, size, kRefused, sizeof kRefused) ||
        !IsPlainText(data + sizeof kRefused, size - sizeof kRefused))
        return false;
    accepted = false;
    why.Append(data + sizeof kRefused, int(size - sizeof kRefused));
    return true;
}
