#pragma once

#include "foundation/String.h"

// Receives the links of an HTML message box or popup that are neither web
// nor mail addresses. True means the link was handled and the window is to
// close.
class CLinkHandler {
public:
    virtual ~CLinkHandler() = default;
    virtual bool HandleLink(const Zorlin::CString& link) = 0;
};
