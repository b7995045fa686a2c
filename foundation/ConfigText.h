#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/AutoPointer.h"
#include "foundation/Config.h"

namespace Zorlin {

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
};

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
};

} // namespace Zorlin
