#include "client/core/Version.h"

#include "foundation/Config.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

long ParseVersionNumber(const char* text)
{
    if (!text)
        return 0;
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (end == text || errno == ERANGE)
        return 0;
    while (std::isspace(static_cast<unsigned char>(*end)))
        ++end;
    return *end ? 0 : value;
}

bool IsNewerVersion(const Zorlin::CConfig& version)
{
    if (!version.KeyExists(".version.major"))
        return false;
    long major = ParseVersionNumber(version.GetValueOr(".version.major", "").GetText());
    long minor = ParseVersionNumber(version.GetValueOr(".version.minor", "").GetText());
    if (major != kProgramVersionMajor)
        return major > kProgramVersionMajor;
    return minor > kProgramVersionMinor;
}
