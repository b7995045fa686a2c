#pragma once

#include "client/core/SoundSample.h"
#include "foundation/AssocArray.h"
#include "foundation/String.h"

namespace Zorlin {
class CConfig;
class CDrive;
class CFile;
}

// A loaded voice pack: one sample per word, looked up ignoring case, and
// the overlap by which a word starts before the previous one ends.
//
// A pack is a folder holding "info.cfg" and "sounds/"; the key
// "sounds.<word>" names the word's file inside "sounds/", and "overlap" is
// the overlap in seconds.
class CVoice {
public:
    static constexpr int kVocabularySize = 40;
    // The words that move descriptions and end-of-game phrases use.
    static const char* const kVocabulary[kVocabularySize];

    CVoice() : m_overlap(0) {}
    CVoice(const CVoice&) = delete;
    CVoice& operator=(const CVoice&) = delete;

    // packDrive's current folder is the pack's folder. Words whose sample is
    // missing stay silent.
    void Load(Zorlin::CDrive& packDrive, Zorlin::CConfig& info);
    // The file named by "sounds.<word>" (under info's prefix), opened inside
    // the folder "sounds/"; only plain file names are taken.
    bool LoadSample(Zorlin::CDrive& drive, const char* word, Zorlin::CConfig& info);
    bool AddSample(const Zorlin::CString& word, Zorlin::CFile& file);
    // The word's sample; an unknown word gets an empty one, which plays nothing.
    CSoundSample* FindSample(const char* word);

    int GetOverlap() const { return m_overlap; }
    void SetOverlap(int milliseconds) { m_overlap = milliseconds; }

    // Seconds as decimal text to whole milliseconds, rounded down; 0 for
    // missing or unreadable text; kept within +-10 s.
    static int ParseOverlap(const Zorlin::CString& text);

private:
    Zorlin::CAssocArray<CSoundSample> m_samples;
    int m_overlap;
};
