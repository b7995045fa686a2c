#pragma once

#include "foundation/Image.h"

namespace Zorlin {

// Reading only: Save answers 6 without touching the file.
class CImageCodecPng : public CImage::CCodec {
public:
    int Load(CFile& file, CImage& image, bool reallocate, int format) override;
    int Save(CFile& file, const CImage& image) override;
    bool CanLoad() override { return true; }
    bool CanSave() override { return false; }
    const char* GetExtensions() override { return "png"; }
};

} // namespace Zorlin
