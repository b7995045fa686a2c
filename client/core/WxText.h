#pragma once

#include <wx/string.h>

#include "foundation/String.h"

// Text crossing the toolkit boundary. Our strings hold bytes: they go to the
// toolkit as UTF-8, or as Latin-1 when they are not valid UTF-8 (a wxString
// made from invalid UTF-8 comes out empty); they come back as UTF-8.
wxString ToWx(const Zorlin::CString& text);
wxString ToWx(const char* text);
Zorlin::CString FromWx(const wxString& text);
