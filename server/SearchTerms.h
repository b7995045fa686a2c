#pragma once

// What a client tells the server about its searches: the key/value pairs
// of a settings packet, the search request and the notification request,
// read from packet bodies that come from strangers (every count and line
// is capped), and the terms the matching compares.

#include <cstdint>
#include <string>
#include <vector>

namespace Zorlin {
class CFile;
}

struct SSetting {
    std::string key;
    std::string value;
};
typedef std::vector<SSetting> TSettings;

namespace SearchLimits {
// More pairs in one settings packet are dropped.
const size_t kMaxSettings = 32;
// More "id != N" lines in one search are dropped.
const size_t kMaxExcluded = 16;
const int kDefaultTtl = 60;
const int kMaxTtl = 3600;
} // namespace SearchLimits

enum class ESide { kWhite, kBlack, kEither };

// The parts of a player's settings that decide whom they can meet. Keys
// that were not sent read as the client's own defaults: either clock,
// 1 to 99 minutes, either colour.
struct SSearchTerms {
    bool untimed = true;
    bool timed = true;
    int low = 60;
    int high = 5940;
    ESide side = ESide::kEither;
};

struct SSearchRequest {
    bool cancel = false;
    int ttl = SearchLimits::kDefaultTtl; // seconds, 1..kMaxTtl
    std::vector<uint32_t> excluded;
};

// "true" or "yes", in any case.
bool IsOn(const std::string& value);
// The value of the last pair named key (case-insensitive), or nullptr.
const std::string* FindSetting(const TSettings& settings, const char* key);

// A settings body: "begin", then a key line and a value line per pair.
// An odd last line is dropped.
TSettings ReadSettingsBody(Zorlin::CFile& body);
// Lines of name=value (or a bare word such as "cancel") up to "begin",
// then conditions such as "id != 12".
SSearchRequest ReadSearchBody(Zorlin::CFile& body);
// The id named by an "avoid=N" line, 0 when there is none.
uint32_t ReadNotifyAvoid(Zorlin::CFile& body);

SSearchTerms ReadSearchTerms(const TSettings& settings);
