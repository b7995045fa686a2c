#pragma once

#include <cstdint>
#include <vector>

namespace Zorlin {
class CFile;
class CImage;
}

// One texture of a tiled image: the part of the image it shows and where
// that part lies in its texture.
struct STextureTile {
    double x = 0.0; // offset and size in image pixels
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;
    double u0 = 0.0;
    double v0 = 0.0;
    double u1 = 0.0;
    double v1 = 0.0;
    unsigned name = 0;
};

// The parameters of one draw.
struct STextureDraw {
    double x = 0.0; // top-left corner
    double y = 0.0;
    double z = 0.0;
    double scaleX = 1.0;
    double scaleY = 1.0;
    int blend = 0; // 0 off, 1 source alpha, 2 additive
    uint8_t red = 255;
    uint8_t green = 255;
    uint8_t blue = 255;
    uint8_t alpha = 255;
};

// The graphics options that shape textures, given by the application at
// start-up from the user settings and the pixel format it obtained.
struct SGLTextureOptions {
    bool pixelFormat32 = true;  // a 32-bit OpenGL pixel format was obtained
    bool force16Bit = false;    // preferences.graphics.16bit
    bool smallTextures = false; // preferences.graphics.small textures
    bool disableFiltering = false; // preferences.graphics.DisableFiltering
    int displayBits = 24;       // bits per pixel of the display
};

// An image turned into OpenGL textures and drawn as a quad; images larger
// than the texture limit are cut into tiles. Needs the GL context current
// for Load, Release (and so destruction of a loaded texture) and Draw.
class CGLTexture {
public:
    enum EKind {
        KIND_RGB = 0,   // opaque
        KIND_ALPHA = 1, // coverage only: drawn in the draw's colour
        KIND_RGBA = 2,  // colour plus a separate grey image as alpha
    };

    CGLTexture() = default;
    ~CGLTexture() { Release(); }
    CGLTexture(const CGLTexture&) = delete;
    CGLTexture& operator=(const CGLTexture&) = delete;

    // False when a file is not open, an image does not decode or the
    // textures cannot be made; a failed texture holds nothing.
    bool Load(Zorlin::CFile& image, int kind, Zorlin::CFile* alpha);
    // Whether Load would take the files, without making textures: no GL
    // context is needed.
    static bool CanLoad(Zorlin::CFile& image, int kind, Zorlin::CFile* alpha);
    // The same from decoded images (alpha may be null).
    bool Build(const Zorlin::CImage& image, int kind, const Zorlin::CImage* alpha);
    void Release();
    void Draw(const STextureDraw& draw) const;

    bool IsLoaded() const { return m_loaded; }
    bool IsTiled() const { return m_tiled; }
    double GetWidth() const { return m_width; }
    double GetHeight() const { return m_height; }
    double GetExtentU() const { return m_extentU; }
    double GetExtentV() const { return m_extentV; }
    const std::vector<STextureTile>& GetTiles() const { return m_tiles; }
    unsigned GetName() const { return m_name; }

    static void SetOptions(const SGLTextureOptions& options);
    static const SGLTextureOptions& GetOptions();
    // While set, every draw halves red, green and blue: the inactive board.
    static void SetDimmed(bool dimmed);
    static bool IsDimmed();
    // The largest side of one texture under the current options.
    static int GetSizeLimit();

private:
    bool BuildSingle(const Zorlin::CImage& image, int kind);
    bool BuildTiles(const Zorlin::CImage& image, int kind, int limit);
    unsigned Upload(const Zorlin::CImage& image, int kind, int x, int y, int width, int height,
                    int textureWidth, int textureHeight);
    void SetColour(const STextureDraw& draw) const;

    bool m_tiled = false;
    std::vector<STextureTile> m_tiles;
    bool m_loaded = false;
    double m_width = 0.0;
    double m_height = 0.0;
    double m_extentU = 0.0;
    double m_extentV = 0.0;
    unsigned m_name = 0;
};
