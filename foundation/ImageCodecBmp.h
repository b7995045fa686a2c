#pragma once

#include "foundation/Image.h"

namespace Zorlin {

class CImageCodecBmp : public CImage::CCodec {
public:
    int Load(CFile& file, CImage& image, bool reallocate, int format) override;
    int Save(CFile& file, const CImage& image) override;
    bool CanLoad() override { return true; }
    bool CanSave() override { return true; }
    const char* GetExtensions() override { return "bmp"; }
};

} // namespace Zorlin
