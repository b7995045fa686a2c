#include "client/core/Internet.h"

#include "client/core/AppServices.h"
#include "foundation/Config.h"
#include "foundation/File.h"

#include <strings.h>

#include <cctype>
#include <climits>

namespace {

const char* const kLiveContentDefault = "https://www.pemberlode.example/rookwell/live/live.cfg";
const char* const kVersionFileDefault = "https://www.pemberlode.example/rookwell/live/version.cfg";

std::string HostOf(const std::string& address)
{
    if (!IsWebAddress(address.c_str()))
        return std::string();
    size_t start = address.find("//") + 2;
    size_t end = address.find_first_of("/?#", start);
    std::string authority = address.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const size_t at = authority.rfind('@');
    if (at != std::string::npos)
        authority = authority.substr(at + 1);
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        return close == std::string::npos ? std::string() : authority.substr(0, close + 1);
    }
    return authority.substr(0, authority.find(':'));
}

bool IsIpv4Loopback(const std::string& host)
{
    int parts = 0;
    size_t i = 0;
    while (i <= host.size()) {
        size_t dot = host.find('.', i);
        std::string part = host.substr(i, dot == std::string::npos ? std::string::npos : dot - i);
        if (part.empty() || part.size() > 3)
            return false;
        for (char c : part)
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return false;
        if (std::stoi(part) > 255 || (parts == 0 && part != "127"))
            return false;
        ++parts;
        if (dot == std::string::npos)
            break;
        i = dot + 1;
    }
    return parts == 4;
}

std::string ProgramAddress(const char* key, const char* fallback)
{
    Zorlin::CString value = GetAppServices().GetProgramSettings().GetValueOr(key, "");
    value.Trim();
    return value.IsEmpty() ? fallback : value.GetText();
}

} // namespace

bool IsInternetConnected()
{
    return HasNetworkConnection();
}

bool IsInternetConnected(const std::string& address)
{
    return IsLoopbackAddress(address) || IsInternetConnected();
}

bool IsLoopbackAddress(const std::string& address)
{
    const std::string host = HostOf(address);
    return strcasecmp(host.c_str(), "localhost") == 0 || host == "[::1]" || IsIpv4Loopback(host);
}

std::string LiveContentAddress()
{
    return ProgramAddress(".live.content", kLiveContentDefault);
}

std::string VersionFileAddress()
{
    return ProgramAddress(".live.version", kVersionFileDefault);
}

unsigned FetchUrl(const char* url, Zorlin::CFile& out)
{
    return FetchUrl(url, out, SHttpOptions());
}

unsigned FetchUrl(const char* url, Zorlin::CFile& out, const SHttpOptions& options)
{
    SHttpOptions capped = options;
    if (capped.maxBytes > uint64_t(UINT_MAX))
        capped.maxBytes = UINT_MAX;
    HttpSink sink = [&out](const void* data, size_t size) {
        return size <= UINT_MAX && out.Write(data, unsigned(size)) && out.GetLastWriteCount() == size;
    };
    SHttpReply reply = HttpFetch(url, sink, capped);
    return reply.result == EHttpResult::kOk ? unsigned(reply.bytes) : 0;
}
