#include "foundation/Config.h"

#include <strings.h>

#include "foundation/Container.h"

namespace Zorlin {

namespace {

CString UnnamedKey(int n)
{
    CString key("#");
    key.Append(n);
    return key;
}

} // namespace

CConfig::CConfig() : m_frames(100, 10), m_values(100, 10) {}

CConfig::~CConfig() {}

void CConfig::Clear()
{
    m_frames.RemoveAll();
    m_values.RemoveAll();
}

CString CConfig::ResolveKey(const CString& key) const
{
    if (key.GetLength() > 0 && key[0] == '.')
        return key.Mid(1);
    if (m_prefix.IsEmpty())
        return key;
    CString full(m_prefix);
    full.Append('.');
    full.Append(key);
    return full;
}

bool CConfig::IsTrue(const CString& value)
{
    return strcasecmp(value.GetText(), "true") == 0 || strcasecmp(value.GetText(), "yes") == 0;
}

CString* CConfig::FindValue(const CString& fullKey) const
{
    CAssocArray<CString>::SNode* node = nullptr;
    return m_values.FindNode(fullKey, Hash(fullKey), node) ? node->value : nullptr;
}

CConfig::SChildren* CConfig::FindFrame(const CString& path) const
{
    CAssocArray<SChildren>::SNode* node = nullptr;
    return m_frames.FindNode(path, Hash(path), node) ? node->value : nullptr;
}

CConfig::SChildren& CConfig::FrameAt(const CString& path)
{
    return *m_frames.FindOrAdd(path, Hash(path));
}

int& CConfig::RegisterChild(const CString& path, const CString& name)
{
    return *FrameAt(path).FindOrAdd(name, Hash(name));
}

CString& CConfig::AddValue(const CString& fullKey)
{
    return *m_values.FindOrAdd(fullKey, Hash(fullKey));
}

CString& CConfig::GetValue(const CString& key)
{
    CString full = ResolveKey(key);
    if (CString* value = FindValue(full))
        return *value;
    // Register each name under the path before it, from the last '.' to the
    // first; the first name stays unregistered at the top level.
    int end = full.GetLength();
    for (int dot = end - 1; dot > 0; --dot) {
        if (full[dot] != '.')
            continue;
        RegisterChild(full.Mid(0, dot - 1), full.Mid(dot + 1, end - 1));
        end = dot;
    }
    return AddValue(full);
}

CString& CConfig::GetValue(const char* key)
{
    return GetValue(CString(key));
}

CString& CConfig::GetValue(int n)
{
    return GetValue(UnnamedKey(n));
}

CString CConfig::GetValueOr(const char* key, const char* fallback) const
{
    if (const CString* value = FindValue(ResolveKey(CString(key))))
        return *value;
    return CString(fallback ? fallback : "");
}

CString CConfig::GetValueOr(const char* key, bool fallback) const
{
    return GetValueOr(key, fallback ? "yes" : "no");
}

void CConfig::SetDefault(const char* key, int n)
{
    if (KeyExists(key))
        return;
    CString text;
    text.Append(n);
    GetValue(key) = text;
}

void CConfig::SetDefault(const char* key, bool b)
{
    if (!KeyExists(key))
        GetValue(key) = b ? "yes" : "no";
}

bool CConfig::KeyExists(const CString& key) const
{
    return FindValue(ResolveKey(key)) != nullptr;
}

bool CConfig::KeyExists(const char* key) const
{
    return KeyExists(CString(key));
}

bool CConfig::KeyExists(int n) const
{
    return KeyExists(UnnamedKey(n));
}

bool CConfig::FrameExists(const CString& key) const
{
    return FindFrame(ResolveKey(key)) != nullptr;
}

bool CConfig::FrameExists(const char* key) const
{
    return FrameExists(CString(key));
}

bool CConfig::FrameExists(int n) const
{
    return FrameExists(UnnamedKey(n));
}

int CConfig::ListFrame(CContainer<CString>& out)
{
    out.RemoveAll();
    FrameAt(m_prefix).ForEach([&out](const CString& name, int) { out.Add(name); });
    return out.GetCount();
}

void CConfig::Merge(const CConfig& source)
{
    const CString& sourcePrefix = source.m_prefix;
    const int skip = sourcePrefix.GetLength();
    source.m_values.ForEach([&](const CString& key, const CString& value) {
        CString relative;
        if (skip == 0) {
            relative = key;
        } else {
            if (key.GetLength() <= skip || key[skip] != '.')
                return;
            if (!KeysEqualNoCase(key.Mid(0, skip - 1), sourcePrefix))
                return;
            relative = key.Mid(skip + 1);
        }
        // Copy first: when source is this store, GetValue may add keys.
        CString copy(value);
        GetValue(relative) = copy;
    });
}

void CConfig::SetPrefix(const CString& key)
{
    m_prefix = ResolveKey(key);
}

void CConfig::SetPrefix(const char* key)
{
    SetPrefix(CString(key));
}

void CConfig::PushPrefix(const CString& key)
{
    m_prefixStack.Add(m_prefix);
    SetPrefix(key);
}

void CConfig::PushPrefix(const char* key)
{
    PushPrefix(CString(key));
}

void CConfig::PushPrefix(int n)
{
    PushPrefix(UnnamedKey(n));
}

void CConfig::PushAbsolutePrefix(const char* text)
{
    m_prefixStack.Add(m_prefix);
    m_prefix = CString(text ? text : "");
}

void CConfig::SavePrefix()
{
    m_prefixStack.Add(m_prefix);
}

void CConfig::PopPrefix()
{
    const int count = m_prefixStack.GetCount();
    if (count == 0) {
        m_prefix = CString();
        return;
    }
    m_prefix = *m_prefixStack.GetAt(count - 1);
    m_prefixStack.SetSize(count - 1, false);
}

} // namespace Zorlin
