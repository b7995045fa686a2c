#pragma once

#include "platform/Http.h"

namespace Zorlin {
class CFile;
}

// Whether the machine reports a network connection.
bool IsInternetConnected();

// Downloads url into out and returns the bytes written; 0 when the address
// is not http or https, cannot be reached, answers with an HTTP error,
// times out, sends more than the options allow, or out takes fewer bytes
// than it was given. On 0, out may hold part of the body. Safe on worker
// threads when out belongs to the calling thread.
unsigned FetchUrl(const char* url, Zorlin::CFile& out);
unsigned FetchUrl(const char* url, Zorlin::CFile& out, const SHttpOptions& options);
