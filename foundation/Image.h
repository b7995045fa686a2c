#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/Array.h"
#include "foundation/Colour.h"
#include "foundation/String.h"

namespace Zorlin {

class CFile;

// A raster image: pixels in one of the built-in pixel formats (or a
// descriptor made at run time), an optional 256-entry palette, a clip
// rectangle, edge modes for reads outside the image and a last error.
// An image owns its pixel block only when it allocated it; images over
// caller memory and views never free their pixels. A view's parent must
// outlive the view.
class CImage {
public:
    enum EError {
        ERR_NONE = 0,
        ERR_ALLOC = 1,       // pixel block not allocated, or a size out of range
        ERR_FORMAT = 2,      // pixel sizes differ, no extension, codec library error
        ERR_FILE = 3,        // file not open / read or write failed / load failed
        ERR_CONTENTS = 4,    // not the expected kind of file
        ERR_NO_CODEC = 5,    // no codec for the extension or it cannot do the job
        ERR_VARIANT = 6,     // a variant of the format the codec does not handle
        ERR_NO_PIXELS = 7,   // the image has no pixels
        ERR_NO_SOURCE = 8,   // the source (or a view's parent) has no pixels
        ERR_RECT = 9,        // empty, inverted or outside rectangle
        ERR_RESERVED = 10
    };

    enum {
        FORMAT_COUNT = 25,   // built-in formats 0-24
        FORMAT_CUSTOM = 25,  // a descriptor that matches no built-in format
        FORMAT_NONE = 26     // empty image; for loads and conversions: as stored
    };

    enum EEdgeMode { EDGE_BORDER = 1, EDGE_CLAMP = 2, EDGE_REPEAT = 3, EDGE_MIRROR = 4 };

    // Sizes beyond these are refused: pictures come from other people.
    static constexpr int kMaxDimension = 32767;
    static constexpr int64_t kMaxPixelBytes = int64_t(256) << 20;
    // The largest side a photo or a texture ever needs; callers that load
    // one set it as their load limit.
    static constexpr int kMaxPictureSide = 4096;

    // Inclusive rectangle; a left of -1 given to an operation means the whole image.
    struct SRect {
        int32_t left, top, right, bottom;
        void Set(int width, int height) { left = 0; top = 0; right = width - 1; bottom = height - 1; }
        bool Contains(int x, int y) const { return left <= x && x <= right && top <= y && y <= bottom; }
        int GetWidth() const { return right - left + 1; }
        int GetHeight() const { return bottom - top + 1; }
    };
    static const SRect WholeImage;

    typedef CColour (*PixelReader)(const uint8_t* pixel, const CImage& image);
    typedef void (*PixelWriter)(uint8_t* pixel, CColour colour, const CImage& image);
    typedef CColour (*BlendFunction)(CColour source, CColour destination);

    // How a pixel's bits map to the channels, over the pixel read as a
    // little-endian integer.
    struct SChannel {
        bool present;
        uint32_t mask;
        int shift; // lowest set bit of the mask
        int width; // bits in the mask
        int loss;  // 8 - width
        void Init(uint32_t m);
    };

    struct SPixelFormat {
        SChannel red, green, blue, alpha, grey;
        bool palettised;
        int colourBits;
        int bitsPerPixel;
        int bytesPerPixel;
        PixelReader reader;
        PixelWriter writer;

        // A null reader or writer becomes the generic mask-driven one.
        void Init(bool isPalettised, uint32_t redMask, uint32_t greenMask, uint32_t blueMask,
                  uint32_t alphaMask, uint32_t greyMask, int bits, PixelReader read = nullptr,
                  PixelWriter write = nullptr);
        bool IsSame(const SPixelFormat& other) const;
        bool IsGrey() const { return grey.present; }
    };

    // A file format. Load and Save return 0 or an EError code.
    class CCodec {
    public:
        virtual ~CCodec() {}
        virtual int Load(CFile& file, CImage& image, bool reallocate, int format) = 0;
        virtual int Save(CFile& file, const CImage& image) = 0;
        virtual bool CanLoad() = 0;
        virtual bool CanSave() = 0;
        virtual const char* GetExtensions() = 0;
    };

    // Construction and lifetime.
    CImage();
    CImage(int width, int height, int format, int bytesPerRow = -1);
    CImage(void* pixels, int width, int height, int format, int bytesPerRow = -1);
    CImage(CFile& file, int format);
    CImage(const char* fileName, int format);
    ~CImage();
    CImage(const CImage&) = delete;
    CImage& operator=(const CImage&) = delete;

    void Reset();
    void Create(int width, int height, int format, int bytesPerRow = -1);
    void Create(int width, int height, const SPixelFormat& format, int bytesPerRow = -1);
    void CreateOver(void* pixels, int width, int height, int format, int bytesPerRow = -1);
    void CreateOver(void* pixels, int width, int height, const SPixelFormat& format,
                    int bytesPerRow = -1);
    void CreateView(CImage& parent, int x, int y, int width, int height);
    void Free();
    static void Shutdown();
    static int GetLiveCount();

    // Errors. Each code can be made to throw as an EError value.
    void SetError(int code) const;
    int GetLastError() const { return m_lastError; }
    static void SetThrowOnError(int code, bool on);

    // Loading and saving by extension; the result is the last error.
    int Load(CFile& file, int format = FORMAT_NONE, bool reallocate = true);
    int Load(const char* fileName, int format = FORMAT_NONE, bool reallocate = true);
    int Save(CFile& file);
    int Save(const char* fileName);
    int Save(CFile& file, const char* extension);
    int Save(CFile& file, CCodec& codec);

    // Codec registry.
    static void RegisterCodec(CCodec* codec);
    static void RegisterCodecs();
    static void UnregisterCodecs();
    static CCodec* FindCodec(const char* extension);

    // Accessors.
    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    bool HasPixels() const { return m_pixels != nullptr; }
    uint8_t* GetPixels() { return m_pixels; }
    const uint8_t* GetPixels() const { return m_pixels; }
    uint8_t* GetRow(int y) { return m_pixels + ptrdiff_t(y) * m_bytesPerRow; }
    const uint8_t* GetRow(int y) const { return m_pixels + ptrdiff_t(y) * m_bytesPerRow; }
    int GetBytesPerRow() const { return m_bytesPerRow; }
    int GetBytesPerPixel() const { return m_format.bytesPerPixel; }
    int GetPixelFormatIndex() const { return m_formatIndex; }
    const SPixelFormat& GetPixelFormat() const { return m_format; }
    CArray<CColour>& GetPalette() { return m_palette; }
    const CArray<CColour>& GetPalette() const { return m_palette; }
    const SRect& GetClipRect() const { return m_clip; }
    void SetClipRect(const SRect& rect) { m_clip = rect; }
    int GetEdgeModeX() const { return m_edgeX; }
    int GetEdgeModeY() const { return m_edgeY; }
    void SetEdgeModes(int x, int y) { m_edgeX = x; m_edgeY = y; }
    CColour GetBorderColour() const { return m_border; }
    void SetBorderColour(CColour colour) { m_border = colour; }
    CColour GetWriteMask() const { return m_writeMask; }
    void SetWriteMask(CColour mask) { m_writeMask = mask; }
    BlendFunction GetBlendFunction() const { return m_blend; }
    void SetBlendFunction(BlendFunction blend) { m_blend = blend; }
    bool IsPaletteChanged() const { return m_paletteChanged; }
    void SetPaletteChanged(bool changed = true) { m_paletteChanged = changed; }
    const CString& GetText() const { return m_text; }

    // The largest width and height a load into this image may bring: the
    // decoders read a file's dimensions first and refuse larger ones before
    // decoding anything, so a tiny file cannot make a huge image. At most
    // kMaxDimension; that is also where it starts.
    void SetLoadLimit(int maxSide);
    int GetLoadLimit() const { return m_loadLimit; }
    // Whether a picture of that size may be loaded into this image.
    bool FitsLoadLimit(int64_t width, int64_t height) const;
    void SetText(const CString& text) { m_text = text; }
    const CImage* GetParent() const { return m_parent; }
    int GetViewCount() const { return m_viewCount; }
    bool OwnsPixels() const { return m_ownsPixels; }

    // Pixel formats and palettes.
    static const SPixelFormat& GetPixelFormat(int index);
    static int FindPixelFormat(const SPixelFormat& format);
    static bool IsValidFormat(int index) { return index >= 0 && index < FORMAT_COUNT; }
    CColour ReadPixel(const uint8_t* pixel) const { return m_format.reader(pixel, *this); }
    void WritePixel(uint8_t* pixel, CColour colour) const { m_format.writer(pixel, colour, *this); }
    void SetPixelFormat(int index);
    void Convert(int index);
    void Convert(const SPixelFormat& format);
    void SetGreyPalette();
    uint8_t NearestPaletteIndex(CColour colour) const;
    CColour GetPaletteEntry(int index) const;
    void SetPaletteSize(int count);

    // Generic readers and writers, driven by the image's descriptor.
    static CColour ReadGeneric(const uint8_t* pixel, const CImage& image);
    static void WriteGeneric(uint8_t* pixel, CColour colour, const CImage& image);

    // Drawing.
    CColour GetPixel(int x, int y) const;
    void SetPixel(int x, int y, CColour colour);
    int WrapX(int& x) const { return Wrap(x, m_width, m_edgeX); }
    int WrapY(int& y) const { return Wrap(y, m_height, m_edgeY); }
    void Blit(const CImage& source, int x, int y);
    void Blit(const CImage& source, int x, int y, const SRect& sourceRect);
    void BlitRect(const CImage& source, int x, int y, const SRect& sourceRect);
    void ConvertRow(const CImage& source, const uint8_t* from, const SPixelFormat& fromFormat,
                    uint8_t* to, const SPixelFormat& toFormat, int count);
    CColour BlendPixel(CColour source, CColour destination) const
    {
        return m_blend ? m_blend(source, destination) : source;
    }
    void Clear(CColour colour, bool useFastPath = true);
    void FillRect(CColour colour, const SRect& rect);
    void FlipVertical();
    void ShrinkHalf(CImage& destination);
    void StretchBlit(const CImage& source, int samples, const SRect& sourceRect,
                     const SRect& destinationRect);
    CColour SampleArea(float x, float y, float width, float height, int samplesX,
                       int samplesY) const;

private:
    void Construct();
    void ReleasePixels();
    void TakeOver(const SPixelFormat& format, void* pixels, int width, int height,
                  int bytesPerRow);
    static int Wrap(int& v, int size, int mode);
    static int ComputeBytesPerRow(int width, int bytesPerPixel, int bytesPerRow);
    static bool CheckSize(int width, int height, int bytesPerRow);
    void SyncPalette() const;
    void CopyRows(const CImage& source, int sx, int sy, int dx, int dy, int width, int height);
    bool FastCopy(const CImage& source, int sx, int sy, int dx, int dy, int width, int height);
    bool FastClear(CColour colour);
    void ConvertInPlace(const SPixelFormat& format);
    void ConvertToNewBlock(const SPixelFormat& format);

    int32_t m_width;
    int32_t m_height;
    uint8_t* m_pixels;
    int32_t m_bytesPerRow;
    CArray<CColour> m_palette;
    int32_t m_edgeX;
    int32_t m_edgeY;
    CColour m_border;
    int32_t m_formatIndex;
    SPixelFormat m_format;
    SRect m_clip;
    CImage* m_parent;
    int32_t m_viewCount;
    BlendFunction m_blend;
    mutable int32_t m_lastError;
    CColour m_writeMask;
    CString m_text;
    int m_loadLimit;
    bool m_ownsPixels;
    mutable bool m_paletteChanged;
};

} // namespace Zorlin
