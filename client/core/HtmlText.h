#pragma once

#include "foundation/String.h"

// Text from outside (engines, peers, files) put into an HTML page: the
// markup characters become entities, so it shows as written and cannot add
// tags, links or page fields ("*[name]") of its own.
Zorlin::CString EscapeHtml(const Zorlin::CString& text);
