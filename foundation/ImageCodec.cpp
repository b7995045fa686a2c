// The codec registry and loading and saving by file extension.

#include <memory>
#include <mutex>
#include <vector>

#include "foundation/AssocArray.h"
#include "foundation/File.h"
#include "foundation/Image.h"
#include "foundation/ImageCodecBmp.h"
#include "foundation/ImageCodecJpg.h"
#include "foundation/ImageCodecPng.h"
#include "foundation/ImageCodecTga.h"
#include "foundation/Win32File.h"

namespace Zorlin {

namespace {

struct SRegistry {
    std::mutex lock;
    bool registered = false;
    std::vector<std::unique_ptr<CImage::CCodec>> codecs;
    CAssocArray<CImage::CCodec*> byExtension{10, 7};
};

SRegistry& Registry()
{
    static SRegistry registry;
    return registry;
}

void AddCodec(SRegistry& r, CImage::CCodec* codec)
{
    r.codecs.emplace_back(codec);
    CArray<CString> names;
    CString(codec->GetExtensions()).Split(names, " \a\b\f\n\r\t\v", "\"\"", "", false);
    for (int i = 0; i < names.GetCount(); ++i)
        if (!names.GetAt(i)->IsEmpty())
            r.byExtension[*names.GetAt(i)] = codec;
}

void AddDefaults(SRegistry& r)
{
    if (r.registered)
        return;
    r.registered = true;
    AddCodec(r, new CImageCodecBmp);
    AddCodec(r, new CImageCodecPng);
    AddCodec(r, new CImageCodecJpg(80));
    AddCodec(r, new CImageCodecTga);
}

// The text after the last "." of the name's last path component; false
// when that component has none.
bool ExtensionOf(const CString& path, CString& extension)
{
    const char* text = path.GetText();
    const char* name = text;
    for (const char* p = text; *p; ++p)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    const char* dot = nullptr;
    for (const char* p = name; *p; ++p)
        if (*p == '.')
            dot = p;
    if (!dot)
        return false;
    extension = dot + 1;
    extension.MakeLower();
    return true;
}

} // namespace

void CImage::RegisterCodec(CCodec* codec)
{
    if (!codec)
        return;
    SRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.lock);
    AddDefaults(r);
    AddCodec(r, codec);
}

void CImage::RegisterCodecs()
{
    SRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.lock);
    AddDefaults(r);
}

void CImage::UnregisterCodecs()
{
    SRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.byExtension.RemoveAll();
    r.codecs.clear();
    r.registered = false;
}

void CImage::Shutdown() { UnregisterCodecs(); }

CImage::CCodec* CImage::FindCodec(const char* extension)
{
    SRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.lock);
    AddDefaults(r);
    CCodec** codec = r.byExtension.Find(extension ? extension : "");
    return codec ? *codec : nullptr;
}

int CImage::Load(CFile& file, int format, bool reallocate)
{
    if (!file.IsOpen()) {
        SetError(ERR_FILE);
        return m_lastError;
    }
    CString extension;
    if (!ExtensionOf(file.GetFileName(), extension)) {
        SetError(ERR_FORMAT);
        return m_lastError;
    }
    CCodec* codec = FindCodec(extension.GetText());
    if (!codec || !codec->CanLoad()) {
        SetError(ERR_NO_CODEC);
        return m_lastError;
    }
    if (codec->Load(file, *this, reallocate, format) != 0) {
        SetError(ERR_FILE);
        return m_lastError;
    }
    m_lastError = ERR_NONE;
    return m_lastError;
}

int CImage::Load(const char* fileName, int format, bool reallocate)
{
    CWin32File file(fileName ? fileName : "", CFile::kModeRead);
    return Load(file, format, reallocate);
}

int CImage::Save(CFile& file)
{
    if (!file.IsOpen()) {
        SetError(ERR_FILE);
        return m_lastError;
    }
    CString extension;
    if (!ExtensionOf(file.GetFileName(), extension)) {
        SetError(ERR_FORMAT);
        return m_lastError;
    }
    return Save(file, extension.GetText());
}

int CImage::Save(const char* fileName)
{
    CWin32File file(fileName ? fileName : "", CFile::kModeWrite | CFile::kModeCreate);
    return Save(file);
}

int CImage::Save(CFile& file, const char* extension)
{
    if (!file.IsOpen()) {
        SetError(ERR_FILE);
        return m_lastError;
    }
    // A codec that cannot save answers for itself (PNG gives 6).
    CCodec* codec = FindCodec(extension);
    if (!codec) {
        SetError(ERR_NO_CODEC);
        return m_lastError;
    }
    return Save(file, *codec);
}

int CImage::Save(CFile& file, CCodec& codec)
{
    if (!file.IsOpen()) {
        SetError(ERR_FILE);
        return m_lastError;
    }
    int result = codec.Save(file, *this);
    if (result != 0)
        SetError(result);
    else
        m_lastError = ERR_NONE;
    return m_lastError;
}

} // namespace Zorlin
