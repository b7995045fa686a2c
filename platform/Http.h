#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Fetching one web address over HTTP or HTTPS. Safe on any thread: every
// call has its own connection and touches nothing shared.
struct SHttpOptions {
    long connectSeconds = 15;
    // The whole transfer, and the longest stretch without a byte.
    long totalSeconds = 60;
    long stallSeconds = 20;
    uint64_t maxBytes = 4u << 20;
    std::string agent = "Rookwell";
};

enum class EHttpResult {
    kOk,
    kBadAddress,     // not an http: or https: address
    kCouldNotConnect,
    kHttpError,      // the server answered with a status of 400 or more
    kTooLarge,
    kTimedOut,
    kRefused,        // the sink refused the bytes
    kFailed,         // anything else the transfer reports
};

struct SHttpReply {
    EHttpResult result = EHttpResult::kFailed;
    long status = 0;
    uint64_t bytes = 0;
};

// Receives the body as it arrives; false stops the transfer.
using HttpSink = std::function<bool(const void* data, size_t size)>;

// Redirects are followed, to http and https addresses only.
SHttpReply HttpFetch(const char* url, const HttpSink& sink, const SHttpOptions& options = SHttpOptions());

// True for an address that starts with "http://" or "https://" (any case)
// and has a host after it.
bool IsWebAddress(const char* url);

// Whether the machine has a network interface up with an address other than
// loopback and link-local ones.
bool HasNetworkConnection();
