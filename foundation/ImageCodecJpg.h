#pragma once

#include "foundation/Image.h"

namespace Zorlin {

class CImageCodecJpg : public CImage::CCodec {
public:
    explicit CImageCodecJpg(int quality = 80) : m_quality(quality) {}
    int Load(CFile& file, CImage& image, bool reallocate, int format) override;
    int Save(CFile& file, const CImage& image) override;
    bool CanLoad() override { return true; }
    bool CanSave() override { return true; }
    const char* GetExtensions() override { return "jpg jpeg jpe"; }
    int GetQuality() const { return m_quality; }
    void SetQuality(int quality) { m_quality = quality; }

private:
    int m_quality;
};

} // namespace Zorlin
