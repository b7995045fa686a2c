#include "foundation/Image.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace Zorlin {

namespace {

std::atomic<int> g_liveImages{0};
std::atomic<bool> g_throwOn[CImage::ERR_RESERVED + 1];

} // namespace

const CImage::SRect CImage::WholeImage = {-1, -1, -1, -1};

CImage::CImage() { Construct(); }

CImage::CImage(int width, int height, int format, int bytesPerRow)
{
    Construct();
    Create(width, height, format, bytesPerRow);
}

CImage::CImage(void* pixels, int width, int height, int format, int bytesPerRow)
{
    Construct();
    CreateOver(pixels, width, height, format, bytesPerRow);
}

CImage::CImage(CFile& file, int format)
{
    Construct();
    Load(file, format, false);
}

CImage::CImage(const char* fileName, int format)
{
    Construct();
    Load(fileName, format, true);
}

CImage::~CImage()
{
    Free();
    --g_liveImages;
}

void CImage::Construct()
{
    m_pixels = nullptr;
    m_parent = nullptr;
    m_ownsPixels = false;
    m_clip = {0, 0, -1, -1};
    m_loadLimit = kMaxDimension;
    Reset();
    ++g_liveImages;
}

int CImage::GetLiveCount() { return g_liveImages; }

void CImage::SetLoadLimit(int maxSide)
{
    m_loadLimit = maxSide < 1 ? 1 : maxSide > kMaxDimension ? kMaxDimension : maxSide;
}

bool CImage::FitsLoadLimit(int64_t width, int64_t height) const
{
    return width > 0 && height > 0 && width <= m_loadLimit && height <= m_loadLimit &&
           width * height * 4 <= kMaxPixelBytes;
}

void CImage::Reset()
{
    m_width = 0;
    m_height = 0;
    m_pixels = nullptr;
    m_bytesPerRow = 0;
    m_formatIndex = FORMAT_NONE;
    m_format = SPixelFormat();
    m_format.Init(false, 0, 0, 0, 0, 0, 0);
    m_parent = nullptr;
    m_lastError = ERR_NONE;
    m_viewCount = 0;
    m_palette.RemoveAll();
    m_ownsPixels = false;
    m_edgeX = EDGE_CLAMP;
    m_edgeY = EDGE_CLAMP;
    m_border = CColour(0u);
    m_blend = nullptr;
    m_paletteChanged = true;
    m_writeMask = CColour(0u);
    m_clip = {0, 0, -1, -1};
}

void CImage::SetError(int code) const
{
    m_lastError = code;
    if (code >= 0 && code <= ERR_RESERVED && g_throwOn[code])
        throw EError(code);
}

void CImage::SetThrowOnError(int code, bool on)
{
    if (code >= 0 && code <= ERR_RESERVED)
        g_throwOn[code] = on;
}

int CImage::ComputeBytesPerRow(int width, int bytesPerPixel, int bytesPerRow)
{
    if (bytesPerRow != -1)
        return bytesPerRow;
    return int((int64_t(bytesPerPixel) * width + 3) & ~int64_t(3));
}

bool CImage::CheckSize(int width, int height, int bytesPerRow)
{
    return width > 0 && height > 0 && width <= kMaxDimension && height <= kMaxDimension &&
           bytesPerRow > 0 && int64_t(bytesPerRow) * height <= kMaxPixelBytes;
}

void CImage::Create(int width, int height, int format, int bytesPerRow)
{
    if (!IsValidFormat(format)) {
        Free();
        SetError(ERR_FORMAT);
        return;
    }
    Create(width, height, GetPixelFormat(format), bytesPerRow);
}

void CImage::Create(int width, int height, const SPixelFormat& format, int bytesPerRow)
{
    Free();
    int bpp = format.bytesPerPixel;
    int stride = ComputeBytesPerRow(width, bpp, bytesPerRow);
    if (bpp < 1 || bpp > 4 || !CheckSize(width, height, stride) ||
        int64_t(stride) < int64_t(width) * bpp) {
        SetError(ERR_ALLOC);
        return;
    }
    void* block = std::malloc(size_t(stride) * size_t(height));
    if (!block) {
        SetError(ERR_ALLOC);
        return;
    }
    CreateOver(block, width, height, format, stride);
    if (m_pixels)
        m_ownsPixels = true;
    else
        std::free(block);
}

void CImage::CreateOver(void* pixels, int width, int height, int format, int bytesPerRow)
{
    if (!IsValidFormat(format)) {
        Free();
        SetError(ERR_FORMAT);
        return;
    }
    CreateOver(pixels, width, height, GetPixelFormat(format), bytesPerRow);
}

void CImage::CreateOver(void* pixels, int width, int height, const SPixelFormat& format,
                        int bytesPerRow)
{
    Free();
    int bpp = format.bytesPerPixel;
    int stride = ComputeBytesPerRow(width, bpp, bytesPerRow);
    if (!pixels || bpp < 1 || bpp > 4 || !CheckSize(width, height, stride) ||
        int64_t(stride) < int64_t(width) * bpp) {
        SetError(ERR_ALLOC);
        return;
    }
    m_pixels = static_cast<uint8_t*>(pixels);
    m_width = width;
    m_height = height;
    m_bytesPerRow = stride;
    m_format = format;
    m_formatIndex = FindPixelFormat(format);
    if (m_formatIndex != FORMAT_CUSTOM)
        m_format = GetPixelFormat(m_formatIndex);
    if (m_format.palettised)
        SetPaletteSize(256);
    m_parent = nullptr;
    m_ownsPixels = false;
    m_clip.Set(width, height);
    m_viewCount = 0;
    m_lastError = ERR_NONE;
}

void CImage::CreateView(CImage& parent, int x, int y, int width, int height)
{
    if (&parent == this) {
        SetError(ERR_RECT);
        return;
    }
    if (!parent.m_pixels) {
        SetError(ERR_NO_SOURCE);
        return;
    }
    // A view lies inside its parent: a partly outside rectangle is clipped.
    int64_t left = x, top = y;
    int64_t right = int64_t(x) + width - 1, bottom = int64_t(y) + height - 1;
    if (width <= 0 || height <= 0 || right < 0 || bottom < 0 || left >= parent.m_width ||
        top >= parent.m_height) {
        SetError(ERR_RECT);
        return;
    }
    if (left < 0)
        left = 0;
    if (top < 0)
        top = 0;
    if (right >= parent.m_width)
        right = parent.m_width - 1;
    if (bottom >= parent.m_height)
        bottom = parent.m_height - 1;

    Free();
    m_pixels = parent.m_pixels + top * parent.m_bytesPerRow + left * parent.m_format.bytesPerPixel;
    m_width = int(right - left + 1);
    m_height = int(bottom - top + 1);
    m_bytesPerRow = parent.m_bytesPerRow;
    m_format = parent.m_format;
    m_formatIndex = parent.m_formatIndex;
    m_palette = parent.m_palette;
    m_paletteChanged = true;
    m_ownsPixels = false;
    m_parent = &parent;
    ++parent.m_viewCount;
    m_clip.Set(m_width, m_height);
    m_lastError = ERR_NONE;
}

void CImage::ReleasePixels()
{
    if (m_parent)
        --m_parent->m_viewCount;
    if (m_ownsPixels)
        std::free(m_pixels);
    m_parent = nullptr;
    m_ownsPixels = false;
    m_pixels = nullptr;
}

void CImage::Free()
{
    if (!m_pixels)
        return;
    ReleasePixels();
    Reset();
}

// Takes an owned block in a new format, keeping every other setting.
void CImage::TakeOver(const SPixelFormat& format, void* pixels, int width, int height,
                      int bytesPerRow)
{
    ReleasePixels();
    m_pixels = static_cast<uint8_t*>(pixels);
    m_ownsPixels = true;
    m_width = width;
    m_height = height;
    m_bytesPerRow = bytesPerRow;
    m_format = format;
    m_formatIndex = FindPixelFormat(format);
    if (m_formatIndex != FORMAT_CUSTOM)
        m_format = GetPixelFormat(m_formatIndex);
    m_clip.Set(width, height);
}

} // namespace Zorlin
