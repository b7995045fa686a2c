#pragma once

#include "foundation/AssocArray.h"
#include "foundation/String.h"

namespace Zorlin {
class CConfig;
class CDrive;
class CFile;
}

// Variables of a page fill-in, keyed by name without regard to case.
using CHtmlVariables = Zorlin::CAssocArray<Zorlin::CString>;

// Text that a page is built in. Fields are written "*[name]"; pages are
// filled in stages, the last of which removes whatever is left.
class CHtmlText : public Zorlin::CString {
public:
    static constexpr int kGrowStep = 4096;

    CHtmlText();
    CHtmlText(const Zorlin::CString& text);
    CHtmlText& operator=(const Zorlin::CString& text);

    // Replaces the text by the file's bytes from its position to its end;
    // true when at least one byte was read.
    bool LoadFile(Zorlin::CFile& file);

    // Fills every field the map names; unknown fields are removed when asked,
    // else kept. Inserted values are not scanned again. Returns the number
    // of fields replaced or removed.
    int ExpandVariables(const CHtmlVariables& variables, bool removeUnknown);

    // Keeps only what lies inside the body element. A text without a body
    // tag is kept whole; one without a closing tag keeps the rest.
    CHtmlText& ExtractBody();

    // Whether the page names its character set before its body, where the
    // HTML window looks for one.
    bool NamesCharset() const;
    // Names the page's character set there: right after the head tag, or at
    // the start of a page without one. A page that names one is left as it is.
    CHtmlText& DeclareCharset(const char* charset);

    CHtmlText& BeginLink(const char* url);
    CHtmlText& EndLink();
    CHtmlText& BeginItalic();
    CHtmlText& EndItalic();
    CHtmlText& LineBreak();
    CHtmlText& BeginParagraph(const char* align);
    CHtmlText& AppendImage(const char* source, unsigned width, unsigned height, unsigned border);

    static constexpr unsigned kNoSize = 0xFFFFFFFFu;
};

// The language folder of the pages, "/html/<language>/", from the user
// setting Preferences.Language. A value that is not a plain folder name
// falls back to "english", so a setting can never point the pages outside
// the html folder.
Zorlin::CString GetLanguage(Zorlin::CConfig& userConfig);
Zorlin::CString GetHtmlFolder(const Zorlin::CString& language);

// Opens a template through a drive and loads it; a missing file gives an
// empty text and false.
bool LoadTemplate(Zorlin::CDrive& drive, const char* path, CHtmlText& out);
