#pragma once

// The fixed texts of the client's start-up and exit that name the maker.

extern const char* const kSupportAddress;
extern const char* const kHomePageAddress;
extern const char* const kSupportPageAddress;
// The version shown in the console and the About box.
extern const int kVersionMajor;
extern const int kVersionMinor;
extern const char* const kEditionWord;
