#include "server/SearchTerms.h"

#include <strings.h>

#include <cerrno>
#include <cstdlib>

#include "foundation/File.h"
#include "foundation/PacketHeader.h"
#include "foundation/String.h"

namespace {

bool NextLine(Zorlin::CFile& body, std::string& out)
{
    Zorlin::CString line;
    if (!WireText::ReadLine(body, line, WireText::kMaxLine))
        return false;
    out.assign(line.GetText(), size_t(line.GetLength()));
    return true;
}

std::string Trim(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool SameWord(const std::string& a, const char* b)
{
    return strcasecmp(a.c_str(), b) == 0;
}

// A decimal number in 0..limit, the whole text; false otherwise.
bool ReadNumber(const std::string& text, long long limit, long long& out)
{
    std::string digits = Trim(text);
    if (digits.empty() || digits.size() > 12 || digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    long long value = std::strtoll(digits.c_str(), nullptr, 10);
    if (value > limit)
        return false;
    out = value;
    return true;
}

ESide ReadSide(const std::string& word)
{
    bool white = word.find("white") != std::string::npos;
    bool black = word.find("black") != std::string::npos;
    if (white && black)
        return ESide::kEither;
    // As the client reads a colour: a single word without "white" is black.
    return white ? ESide::kWhite : ESide::kBlack;
}

} // namespace

bool IsOn(const std::string& value)
{
    return SameWord(value, "true") || SameWord(value, "yes");
}

const std::string* FindSetting(const TSettings& settings, const char* key)
{
    for (auto it = settings.rbegin(); it != settings.rend(); ++it)
        if (SameWord(it->key, key))
            return &it->value;
    return nullptr;
}

TSettings ReadSettingsBody(Zorlin::CFile& body)
{
    TSettings settings;
    std::string line;
    if (!NextLine(body, line))
        return settings;
    bool haveKey = !SameWord(line, "begin");
    SSetting pair;
    if (haveKey)
        pair.key = line;
    while (NextLine(body, line)) {
        if (!haveKey) {
            pair.key = line;
            haveKey = true;
            continue;
        }
        pair.value = line;
        haveKey = false;
        if (settings.size() < SearchLimits::kMaxSettings)
            settings.push_back(pair);
    }
    return settings;
}

SSearchRequest ReadSearchBody(Zorlin::CFile& body)
{
    SSearchRequest request;
    std::string line;
    bool conditions = false;
    while (NextLine(body, line)) {
        if (!conditions) {
            if (SameWord(Trim(line), "begin")) {
                conditions = true;
                continue;
            }
            if (SameWord(Trim(line), "cancel")) {
                request.cancel = true;
                continue;
            }
            size_t equals = line.find('=');
            long long ttl = 0;
            if (equals != std::string::npos && SameWord(Trim(line.substr(0, equals)), "ttl") &&
                ReadNumber(line.substr(equals + 1), SearchLimits::kMaxTtl, ttl) && ttl > 0)
                request.ttl = int(ttl);
            continue;
        }
        size_t op = line.find("!=");
        long long id = 0;
        if (op != std::string::npos && SameWord(Trim(line.substr(0, op)), "id") &&
            ReadNumber(line.substr(op + 2), 0xFFFFFFFFLL, id) && id != 0 &&
            request.excluded.size() < SearchLimits::kMaxExcluded)
            request.excluded.push_back(uint32_t(id));
    }
    return request;
}

uint32_t ReadNotifyAvoid(Zorlin::CFile& body)
{
    std::string line;
    uint32_t avoid = 0;
    while (NextLine(body, line)) {
        size_t equals = line.find('=');
        long long id = 0;
        if (equals != std::string::npos && SameWord(Trim(line.substr(0, equals)), "avoid") &&
            ReadNumber(line.substr(equals + 1), 0xFFFFFFFFLL, id))
            avoid = uint32_t(id);
    }
    return avoid;
}

SSearchTerms ReadSearchTerms(const TSettings& settings)
{
    SSearchTerms terms;
    if (const std::string* value = FindSetting(settings, "rw.untimed"))
        terms.untimed = IsOn(*value);
    if (const std::string* value = FindSetting(settings, "rw.timed"))
        terms.timed = IsOn(*value);
    long long number = 0;
    if (const std::string* value = FindSetting(settings, "rw.time.low"))
        if (ReadNumber(*value, 1000000, number))
            terms.low = int(number);
    if (const std::string* value = FindSetting(settings, "rw.time.high"))
        if (ReadNumber(*value, 1000000, number))
            terms.high = int(number);
    if (const std::string* value = FindSetting(settings, "rw.side"))
        terms.side = ReadSide(*value);
    return terms;
}
