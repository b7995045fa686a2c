#pragma once

#include <cstdint>

#include "foundation/AssocArray.h"
#include "foundation/FlexArray.h"
#include "foundation/String.h"

namespace Zorlin {

class CDrive;
class CFile;
class CURL;
template <class T> class CContainer;

// The settings store and its structured text format: text values under
// dotted, case-insensitive keys ("preferences.window.x"), the names each
// frame holds, and a current prefix so code can enter a frame and use short
// keys. Keys are kept in the order first added, which is the order written.
class CConfig {
public:
    // One open frame while reading: its name and the counter that numbers
    // its unnamed entries (#0, #1, ...).
    struct SFrameEntry {
        CString name;
        uint32_t counter;

        SFrameEntry() : counter(0) {}
    };

    // One node of the writer's tree: a name, the full key of the value it
    // stands for (empty for a pure frame) and its children (null for a leaf).
    struct SFrame {
        CString name;
        CString key;
        CAssocArray<SFrame>* children;

        SFrame() : children(nullptr) {}
    };

    // Files from outside may nest no deeper than this, and no key read from
    // one may be longer; a file that does reads as far as the excess and
    // then fails.
    static const int kMaxDepth = 64;
    static const int kMaxKeyLength = 4096;

    CConfig();
    CConfig(const CConfig& other) = default;
    CConfig& operator=(const CConfig& other) = default;
    ~CConfig();

    // Empties both dictionaries; the prefix and its stack stay.
    void Clear();

    // Adds every entry of the text from the file's position to its end (as
    // far as its size says, so a device gives an empty text) whose
    // key the store lacks (the first value read or set wins). False when the
    // file is not open or the text is malformed (entries before the fault
    // stay). A successful read empties the current prefix.
    bool Read(CFile& file);
    // The same for a settings file from a package or a turn (info.cfg,
    // contents.cfg, move.cfg): one larger than maxBytes is not read at all.
    static const uint32_t kMaxSmallFile = 65536;
    bool ReadSmall(CFile& file, uint32_t maxBytes = kMaxSmallFile);
    bool ReadText(const char* text, int length);

    // The store as text, CR LF line ends; with header, the two comment lines.
    CString ToText(bool header) const;
    // Writes the text at the file's position; false when the file is not
    // open for writing or takes fewer bytes than it was given. This cannot
    // protect what a truncating open already destroyed: disk files are
    // written with WriteDiskFile.
    bool Write(CFile& file, bool header) const;
    // Replaces the disk file at path all at once (see WriteFileAtomically):
    // on any failure the old file is left as it was and the result is false.
    bool WriteDiskFile(const CString& path, bool header) const;
    // Writes a file of a drive: a disk drive's file is replaced atomically
    // (WriteDiskFile); any other drive's is opened for writing and truncated.
    bool Write(CDrive& drive, const CURL& path, bool header) const;

    // The value of the resolved key, created empty (and its frames
    // registered) when missing. #n keys through the int form.
    CString& GetValue(const char* key);
    CString& GetValue(const CString& key);
    CString& GetValue(int n);
    // Copies; they create nothing. A null default gives an empty string.
    CString GetValueOr(const char* key, const char* fallback) const;
    CString GetValueOr(const char* key, bool fallback) const;
    // Creates the key with "%i" of n, or "yes"/"no", when it is missing.
    void SetDefault(const char* key, int n);
    void SetDefault(const char* key, bool b);

    bool KeyExists(const char* key) const;
    bool KeyExists(const CString& key) const;
    bool KeyExists(int n) const;
    bool FrameExists(const char* key) const;
    bool FrameExists(const CString& key) const;
    bool FrameExists(int n) const;

    // Fills out with the current frame's direct children (sub-frames and
    // keys, in the order first added) and returns the count.
    int ListFrame(CContainer<CString>& out);

    // Copies the source's values (those under its prefix, relative to it)
    // into this store under this store's prefix; existing keys are
    // overwritten, nothing is removed.
    void Merge(const CConfig& source);

    void SetPrefix(const char* key);
    void SetPrefix(const CString& key);
    void PushPrefix(const char* key);
    void PushPrefix(const CString& key);
    void PushPrefix(int n);
    // Pushes, then takes text as the prefix exactly as given.
    void PushAbsolutePrefix(const char* text);
    void SavePrefix();
    // An unmatched pop leaves the prefix empty.
    void PopPrefix();
    const CString& GetPrefix() const { return m_prefix; }

    // A key starting with '.' is absolute (the text after it); any other is
    // prefix + "." + key, or the key alone with an empty prefix.
    CString ResolveKey(const CString& key) const;
    // How a name or value is written: bare when it reads back as it is,
    // else in double quotes with '"', '\\' and '|' escaped.
    static CString QuoteText(const CString& text, bool isKey);
    // The one rule for flags: "true" or "yes", ignoring case.
    static bool IsTrue(const CString& value);

    int GetKeyCount() const { return m_values.GetCount(); }
    // Calls f(key, value) for every key in the order first added.
    template <class F>
    void ForEachValue(F f) const { m_values.ForEach(f); }

private:
    friend class CConfigReader;
    friend class CConfigWriter;

    using SChildren = CAssocArray<int>;

    static uint32_t Hash(const CString& key) { return HashStringNoCase(key.GetText()); }
    CString* FindValue(const CString& fullKey) const;
    SChildren* FindFrame(const CString& path) const;
    SChildren& FrameAt(const CString& path);
    int& RegisterChild(const CString& path, const CString& name);
    CString& AddValue(const CString& fullKey);

    // Lookups refresh the dictionaries' caches, so the dictionaries change
    // even when the store, as its users see it, does not.
    mutable CAssocArray<SChildren> m_frames;
    mutable CAssocArray<CString> m_values;
    CFlexArray<CString> m_prefixStack;
    CString m_prefix;
};

} // namespace Zorlin
