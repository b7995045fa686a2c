#pragma once

#include "platform/Http.h"

namespace Zorlin {
class CFile;
}

#include <string>

// Whether the machine reports a network connection.
bool IsInternetConnected();
// Whether address can be reached: always for a server on this machine
// (a loopback host needs no network), else as above.
bool IsInternetConnected(const std::string& address);
// True for an http or https address whose host is "localhost", 127.x.x.x
// or [::1].
bool IsLoopbackAddress(const std::string& address);

// The live content's and the version file's addresses: the program settings
// live.content and live.version (cfg/app.cfg), the maker's own when unset.
std::string LiveContentAddress();
std::string VersionFileAddress();

// Downloads url into out and returns the bytes written; 0 when the address
// is not http or https, cannot be reached, answers with an HTTP error,
// times out, sends more than the options allow, or out takes fewer bytes
// than it was given. On 0, out may hold part of the body. Safe on worker
// threads when out belongs to the calling thread.
unsigned FetchUrl(const char* url, Zorlin::CFile& out);
unsigned FetchUrl(const char* url, Zorlin::CFile& out, const SHttpOptions& options);
