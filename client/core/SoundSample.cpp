#include "client/core/SoundSample.h"

#include "client/core/Sound.h"
#include "foundation/File.h"
#include "platform/SoundBackEnd.h"

#include <vector>

bool CSoundSample::Load(Zorlin::CFile& file)
{
    if (!IsSoundReady() || !file.IsOpen() || file.IsNull())
        return false;
    unsigned size = file.GetSize32();
    if (size == 0 || size > kMaxFileSize)
        return false;
    std::vector<unsigned char> bytes(size);
    file.Seek(0, Zorlin::CFile::kSeekStart);
    unsigned got = 0;
    while (got < size && file.Read(bytes.data() + got, size - got))
        got += file.GetLastReadCount();
    if (got != size)
        return false;
    Free();
    m_handle = GetSoundBackEnd().LoadSample(bytes.data(), bytes.size());
    return m_handle != 0;
}

int CSoundSample::Play(int channel)
{
    if (!IsSoundReady() || m_handle == 0)
        return -1;
    return GetSoundBackEnd().PlaySample(channel, m_handle);
}

double CSoundSample::GetLength() const
{
    if (!IsSoundReady() || m_handle == 0)
        return 0.0;
    CSoundBackEnd& backEnd = GetSoundBackEnd();
    int rate = backEnd.GetOutputRate();
    if (rate <= 0)
        return 0.0;
    return double(backEnd.GetSampleLength(m_handle)) / double(rate);
}

void CSoundSample::Free()
{
    if (m_handle != 0 && IsSoundReady())
        GetSoundBackEnd().FreeSample(m_handle);
    m_handle = 0;
}
