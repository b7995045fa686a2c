#include "platform/Http.h"

#include <curl/curl.h>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <strings.h>

#include <cstring>
#include <mutex>

namespace {

void InitCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct STransfer {
    const HttpSink* sink;
    uint64_t maxBytes;
    uint64_t bytes = 0;
    bool tooLarge = false;
    bool refused = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* user)
{
    STransfer& transfer = *static_cast<STransfer*>(user);
    size_t n = size * count;
    if (transfer.bytes + n > transfer.maxBytes) {
        transfer.tooLarge = true;
        return 0;
    }
    if (n > 0 && !(*transfer.sink)(data, n)) {
        transfer.refused = true;
        return 0;
    }
    transfer.bytes += n;
    return n;
}

EHttpResult ResultOf(CURLcode code, const STransfer& transfer)
{
    switch (code) {
    case CURLE_OK:
        return EHttpResult::kOk;
    case CURLE_WRITE_ERROR:
        return transfer.tooLarge ? EHttpResult::kTooLarge
               : transfer.refused ? EHttpResult::kRefused
                                  : EHttpResult::kFailed;
    case CURLE_FILESIZE_EXCEEDED:
        return EHttpResult::kTooLarge;
    case CURLE_OPERATION_TIMEDOUT:
        return EHttpResult::kTimedOut;
    case CURLE_HTTP_RETURNED_ERROR:
        return EHttpResult::kHttpError;
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return EHttpResult::kBadAddress;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
        return EHttpResult::kCouldNotConnect;
    default:
        return EHttpResult::kFailed;
    }
}

void SetOptions(CURL* curl, const char* url, STransfer& transfer, const SHttpOptions& options)
{
    curl_easy_setopt(curl, CURLOPT_URL, url);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    // Threads call this: no signals for the resolver's time-outs.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, options.agent.c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, options.connectSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, options.totalSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, options.stallSeconds);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(options.maxBytes));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
}

bool IsLinkLocal(const sockaddr* address)
{
    if (address->sa_family == AF_INET) {
        uint32_t ip = ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
        return (ip >> 16) == 0xA9FE; // 169.254/16
    }
    const in6_addr& ip = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
    return IN6_IS_ADDR_LINKLOCAL(&ip) || IN6_IS_ADDR_LOOPBACK(&ip);
}

} // namespace

bool IsWebAddress(const char* url)
{
    if (!url)
        return false;
    size_t skip = 0;
    if (strncasecmp(url, "http://", 7) == 0)
        skip = 7;
    else if (strncasecmp(url, "https://", 8) == 0)
        skip = 8;
    else
        return false;
    const char* host = url + skip;
    return *host && *host != '/' && *host != '?' && *host != '#';
}

SHttpReply HttpFetch(const char* url, const HttpSink& sink, const SHttpOptions& options)
{
    SHttpReply reply;
    if (!IsWebAddress(url)) {
        reply.result = EHttpResult::kBadAddress;
        return reply;
    }
    InitCurlOnce();
    CURL* curl = curl_easy_init();
    if (!curl)
        return reply;
    STransfer transfer;
    transfer.sink = &sink;
    transfer.maxBytes = options.maxBytes;
    SetOptions(curl, url, transfer, options);
    CURLcode code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_easy_cleanup(curl);
    reply.result = ResultOf(code, transfer);
    if (reply.result == EHttpResult::kOk && reply.status >= 400)
        reply.result = EHttpResult::kHttpError;
    reply.bytes = transfer.bytes;
    return reply;
}

bool HasNetworkConnection()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    bool connected = false;
    for (ifaddrs* entry = list; entry && !connected; entry = entry->ifa_next) {
        const sockaddr* address = entry->ifa_addr;
        if (!address || (address->sa_family != AF_INET && address->sa_family != AF_INET6))
            continue;
        if (!(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK))
            continue;
        connected = !IsLinkLocal(address);
    }
    freeifaddrs(list);
    return connected;
}
