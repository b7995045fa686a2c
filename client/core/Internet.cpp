#include "client/core/Internet.h"

#include "foundation/File.h"

#include <climits>

bool IsInternetConnected()
{
    return HasNetworkConnection();
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
