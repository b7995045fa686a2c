#include "client/core/AppTexts.h"

const char* const kSupportAddress = "support@pemberlode.example";
const char* const kHomePageAddress = "https://www.pemberlode.example/rookwell/";
const char* const kSupportPageAddress = "https://www.pemberlode.example/rookwell/support.htm";
const int kVersionMajor = 1;
const int kVersionMinor = 24;
const char* const kEditionWord = "Lite";
