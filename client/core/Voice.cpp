#include "client/core/Voice.h"

#include "foundation/AutoPointer.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/URL.h"

#include <cmath>
#include <cstdlib>

using Zorlin::CConfig;
using Zorlin::CString;
using Zorlin::CURL;

const char* const CVoice::kVocabulary[CVoice::kVocabularySize] = {
    "a", "b", "c", "d", "e", "f", "g", "h",
    "1", "2", "3", "4", "5", "6", "7", "8",
    "intro", "white", "black", "pawn", "rook", "knight", "bishop", "queen", "king",
    "check", "checkmate", "stalemate", "kings", "queens", "to", "moves", "takes",
    "resigns", "wins", "enpassant", "queenside", "kingside", "castle", "becomes",
};

int CVoice::ParseOverlap(const CString& text)
{
    const char* start = text.GetText();
    char* end = nullptr;
    double seconds = std::strtod(start, &end);
    if (end == start || !std::isfinite(seconds))
        return 0;
    if (seconds > 10.0)
        seconds = 10.0;
    if (seconds < -10.0)
        seconds = -10.0;
    // A hair added so that text like "0.29" is not taken for 289.99.. ms.
    return int(std::floor(seconds * 1000.0 + 1e-6));
}

void CVoice::Load(Zorlin::CDrive& packDrive, CConfig& info)
{
    m_overlap = ParseOverlap(info.GetValueOr("overlap", ""));
    info.PushPrefix("sounds");
    for (const char* word : kVocabulary)
        LoadSample(packDrive, word, info);
    info.PopPrefix();
}

bool CVoice::LoadSample(Zorlin::CDrive& drive, const char* word, CConfig& info)
{
    CString name = info.GetValueOr(word, "");
    if (!CURL::IsPlainName(name))
        return false;
    CURL path("sounds/");
    path.Append(name);
    Zorlin::CAutoPointer<Zorlin::CFile> file = drive.OpenFile(path, Zorlin::CFile::kModeRead);
    if (!file.Get() || !file->IsOpen())
        return false;
    return AddSample(CString(word), *file);
}

bool CVoice::AddSample(const CString& word, Zorlin::CFile& file)
{
    return m_samples[word].Load(file);
}

CSoundSample* CVoice::FindSample(const char* word)
{
    return &m_samples[word];
}
