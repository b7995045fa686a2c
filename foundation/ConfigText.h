#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/AutoPointer.h"
#include "foundation/Config.h"

namespace Zorlin {

class CFile;

// Parses the configuration text format into a store. Bytes are 8-bit with no
// encoding. Only structure that stands bare in the text (an unquoted '{',
// '}' or ';') has a meaning of its own: the same byte in quotes, in angle
// brackets or after a backslash is plain text, so every name and value the
// writer quotes reads back as it was.
class CConfigReader {
public:
    CConfigReader(CConfig& store, const char* text, int length);

    // False on a '}' with no frame open, an unnamed entry with none open,
    // nesting deeper than CConfig::kMaxDepth or a key longer than
    // CConfig::kMaxKeyLength; entries read before stay in the store.
    bool Run();
    // After Run: whether the text read whole, as a file the writer made
    // reads: not empty, every quote and angle bracket closed, no key cut
    // before its '=', every frame closed and none closed twice, no control
    // byte (NUL among them) outside a quoted or bracketed value, and at
    // least as many values as a header's "; N keys" line says. Hand-made
    // files without the header pass on the rest.
    bool IsWhole() const;

private:
    enum EKind {
        kLiteral, // quoted or in angle brackets: plain text whatever it holds
        kWord,    // unquoted
        kMarker,  // a bare '{', '}' or ';'
    };
    struct SToken {
        CString text;
        EKind kind;
        bool endsEntry;
    };

    int Peek() const { return m_pos < m_end ? m_bytes[m_pos] : -1; }
    int Next() { return m_pos < m_end ? m_bytes[m_pos++] : -1; }
    void PutBack() { --m_pos; }
    void SkipBlanks();
    bool SkipSeparators();
    void SkipLine();

    bool ReadKeyToken(SToken& token);
    void ReadValueToken(SToken& token);
    void ReadQuoted(CString& out);
    void ReadQuotedText(CString& out);
    void ReadBracketed(CString& out);
    bool ReadWord(CString& out);
    void ReadRest(CString& out);
    static void TrimTrailingSpaces(CString& text);

    bool OpenFrame(const CString& name);
    bool CloseFrame();
    void RebuildPath();
    CString FullKey(const CString& name) const;
    CConfig::SChildren& CurrentChildren();

    CConfig& m_store;
    const unsigned char* m_bytes;
    int m_pos;
    int m_end;
    CFlexArray<CConfig::SFrameEntry> m_stack;
    // Set once a '}' closed the top level itself: the stack then holds only
    // real frames.
    bool m_topClosed;
    CString m_path;
    CConfig::SChildren* m_children; // the current path's entry, once looked up
    // What IsWhole looks at.
    bool m_cut;              // a quote, bracket or key ran into the end
    int m_values;            // value entries met, kept or not
    int m_literalControls;   // control bytes inside quotes and brackets
};

// For files whose loss matters (the user's settings, a saved game): reads
// as CConfig::Read does, true only when the text read whole (see
// CConfigReader::IsWhole). What could be read stays in the store either way.
bool ReadWhole(CConfig& store, CFile& file);
bool ReadTextWhole(CConfig& store, const char* text, int length);

// Turns a store into text: a tree of the dotted keys, written one name per
// line with tabs for depth and CR LF line ends.
class CConfigWriter {
public:
    explicit CConfigWriter(const CConfig& store);

    CString Run(bool header);

private:
    using SFrames = CAssocArray<CConfig::SFrame>;

    void BuildTree();
    void AddKey(const CString& key);
    void WriteFrame(CString& out, SFrames& frame, int depth);
    void WriteName(CString& out, const CString& name, bool unnamed, int depth);
    CString LookUp(const CString& key) const;

    const CConfig& m_store;
    CArray<CAutoPointer<SFrames>> m_owned;
    SFrames* m_root;
    int m_written; // values written so far
};

} // namespace Zorlin
