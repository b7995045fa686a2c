#include "client/view/GLTexture.h"

#include <GL/gl.h>

#include <cstring>

#include "client/view/TilePlan.h"
#include "foundation/File.h"
#include "foundation/Image.h"

using Zorlin::CFile;
using Zorlin::CImage;

namespace {

// Pixel formats of the image library: bytes red, green, blue (19), the
// same with alpha (21), alpha only (5) and grey (1).
const int kFormatRgb = 19;
const int kFormatRgba = 21;
const int kFormatAlpha = 5;
const int kFormatGrey = 1;

SGLTextureOptions g_options;
bool g_dimmed = false;

int BytesPerTexel(int kind) { return kind == CGLTexture::KIND_RGB ? 3 : kind == CGLTexture::KIND_ALPHA ? 1 : 4; }

GLenum UploadFormat(int kind)
{
    return kind == CGLTexture::KIND_RGB ? GL_RGB : kind == CGLTexture::KIND_ALPHA ? GL_ALPHA : GL_RGBA;
}

GLint InternalFormat(int kind)
{
    if (kind == CGLTexture::KIND_ALPHA)
        return GL_ALPHA8;
    const bool full = g_options.pixelFormat32 && !g_options.force16Bit && g_options.displayBits > 16;
    if (kind == CGLTexture::KIND_RGB)
        return full ? GL_RGB8 : GL_RGB5;
    return full ? GL_RGBA8 : GL_RGBA4;
}

// The decoded image in the one-, three- or four-byte layout of its kind.
bool Prepare(const CImage& image, int kind, const CImage* alpha, CImage& work)
{
    const int width = image.GetWidth();
    const int height = image.GetHeight();
    if (!image.HasPixels() || width <= 0 || height <= 0)
        return false;
    int format = kFormatRgba;
    if (kind == CGLTexture::KIND_RGB)
        format = kFormatRgb;
    else if (kind == CGLTexture::KIND_ALPHA)
        // Coverage comes from the alpha channel, or from the grey level of
        // an image that has none.
        format = image.GetPixelFormat().alpha.present ? kFormatAlpha : kFormatGrey;
    work.Create(width, height, format);
    if (!work.HasPixels())
        return false;
    work.Clear(Zorlin::CColour(0, 0, 0, 0));
    work.Blit(image, 0, 0);
    if (kind != CGLTexture::KIND_RGBA || !alpha)
        return true;
    if (!alpha->HasPixels())
        return false;
    CImage grey(alpha->GetWidth(), alpha->GetHeight(), kFormatGrey);
    if (!grey.HasPixels())
        return false;
    grey.Blit(*alpha, 0, 0);
    const int rows = height < grey.GetHeight() ? height : grey.GetHeight();
    const int columns = width < grey.GetWidth() ? width : grey.GetWidth();
    for (int y = 0; y < rows; ++y) {
        uint8_t* to = work.GetRow(y);
        const uint8_t* from = grey.GetRow(y);
        for (int x = 0; x < columns; ++x)
            to[x * 4 + 3] = from[x];
    }
    return true;
}

// The picture and its alpha picture decoded for a texture.
bool Decode(CFile& image, CFile* alpha, CImage& picture, CImage& mask)
{
    if (!image.IsOpen() || (alpha && !alpha->IsOpen()))
        return false;
    // A texture never needs more; a larger picture is refused unread.
    picture.SetLoadLimit(CImage::kMaxPictureSide);
    if (picture.Load(image) != CImage::ERR_NONE)
        return false;
    mask.SetLoadLimit(CImage::kMaxPictureSide);
    return !alpha || mask.Load(*alpha) == CImage::ERR_NONE;
}

} // namespace

void CGLTexture::SetOptions(const SGLTextureOptions& options) { g_options = options; }
const SGLTextureOptions& CGLTexture::GetOptions() { return g_options; }
void CGLTexture::SetDimmed(bool dimmed) { g_dimmed = dimmed; }
bool CGLTexture::IsDimmed() { return g_dimmed; }

int CGLTexture::GetSizeLimit()
{
    GLint limit = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
    if (limit < 64)
        limit = 64;
    if (g_options.smallTextures && limit > 256)
        limit = 256;
    return limit;
}

bool CGLTexture::Load(CFile& image, int kind, CFile* alpha)
{
    Release();
    CImage picture, mask;
    return Decode(image, alpha, picture, mask) && Build(picture, kind, alpha ? &mask : nullptr);
}

bool CGLTexture::CanLoad(CFile& image, int kind, CFile* alpha)
{
    CImage picture, mask, work;
    return Decode(image, alpha, picture, mask) && kind >= KIND_RGB && kind <= KIND_RGBA &&
           Prepare(picture, kind, alpha ? &mask : nullptr, work);
}

bool CGLTexture::Build(const CImage& image, int kind, const CImage* alpha)
{
    Release();
    if (kind < KIND_RGB || kind > KIND_RGBA)
        return false;
    CImage work;
    if (!Prepare(image, kind, alpha, work))
        return false;
    m_width = work.GetWidth();
    m_height = work.GetHeight();
    const int limit = GetSizeLimit();
    const bool fits = TextureSide(work.GetWidth()) <= limit && TextureSide(work.GetHeight()) <= limit;
    const bool built = fits ? BuildSingle(work, kind) : BuildTiles(work, kind, limit);
    if (!built) {
        Release();
        return false;
    }
    m_loaded = true;
    return true;
}

bool CGLTexture::BuildSingle(const CImage& image, int kind)
{
    const int textureWidth = TextureSide(image.GetWidth());
    const int textureHeight = TextureSide(image.GetHeight());
    m_name = Upload(image, kind, 0, 0, image.GetWidth(), image.GetHeight(), textureWidth, textureHeight);
    m_extentU = m_width / textureWidth;
    m_extentV = m_height / textureHeight;
    return m_name != 0;
}

bool CGLTexture::BuildTiles(const CImage& image, int kind, int limit)
{
    m_tiled = true;
    const std::vector<STileSpan> columns = PlanTileSpans(image.GetWidth(), limit);
    const std::vector<STileSpan> rows = PlanTileSpans(image.GetHeight(), limit);
    for (const STileSpan& row : rows) {
        for (const STileSpan& column : columns) {
            const int textureWidth = TextureSide(column.length);
            const int textureHeight = TextureSide(row.length);
            STextureTile tile;
            tile.name = Upload(image, kind, column.start, row.start, column.length, row.length,
                               textureWidth, textureHeight);
            if (tile.name == 0)
                return false;
            tile.x = column.drawStart;
            tile.y = row.drawStart;
            tile.width = column.drawLength;
            tile.height = row.drawLength;
            tile.u0 = double(column.drawStart - column.start) / textureWidth;
            tile.v0 = double(row.drawStart - row.start) / textureHeight;
            tile.u1 = double(column.drawStart + column.drawLength - column.start) / textureWidth;
            tile.v1 = double(row.drawStart + row.drawLength - row.start) / textureHeight;
            m_tiles.push_back(tile);
        }
    }
    return !m_tiles.empty();
}

unsigned CGLTexture::Upload(const CImage& image, int kind, int x, int y, int width, int height,
                            int textureWidth, int textureHeight)
{
    // Rows are packed tightly, and the last column and row are repeated
    // into the unused part, so linear filtering at the image's edge blends
    // with the image itself and not with an empty texel.
    const int bpp = BytesPerTexel(kind);
    std::vector<uint8_t> texels(size_t(textureWidth) * textureHeight * bpp);
    const size_t rowBytes = size_t(textureWidth) * bpp;
    for (int row = 0; row < textureHeight; ++row) {
        uint8_t* to = texels.data() + row * rowBytes;
        if (row >= height) {
            std::memcpy(to, to - rowBytes, rowBytes);
            continue;
        }
        const uint8_t* from = image.GetRow(y + row) + size_t(x) * bpp;
        std::memcpy(to, from, size_t(width) * bpp);
        for (int column = width; column < textureWidth; ++column)
            std::memcpy(to + column * bpp, to + (width - 1) * bpp, bpp);
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    if (name == 0)
        return 0;
    glBindTexture(GL_TEXTURE_2D, name);
    const GLint filter = g_options.disableFiltering ? GL_NEAREST : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    while (glGetError() != GL_NO_ERROR) {
    }
    glTexImage2D(GL_TEXTURE_2D, 0, InternalFormat(kind), textureWidth, textureHeight, 0,
                 UploadFormat(kind), GL_UNSIGNED_BYTE, texels.data());
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &name);
        return 0;
    }
    return name;
}

void CGLTexture::Release()
{
    if (m_name != 0) {
        GLuint name = m_name;
        glDeleteTextures(1, &name);
    }
    for (const STextureTile& tile : m_tiles) {
        if (tile.name == 0)
            continue;
        GLuint name = tile.name;
        glDeleteTextures(1, &name);
    }
    m_tiles.clear();
    m_tiled = false;
    m_loaded = false;
    m_name = 0;
    m_width = m_height = 0.0;
    m_extentU = m_extentV = 0.0;
}

void CGLTexture::SetColour(const STextureDraw& draw) const
{
    if (g_dimmed)
        glColor4ub(uint8_t((draw.red + 1) / 2), uint8_t((draw.green + 1) / 2),
                   uint8_t((draw.blue + 1) / 2), draw.alpha);
    else
        glColor4ub(draw.red, draw.green, draw.blue, draw.alpha);
}

void CGLTexture::Draw(const STextureDraw& draw) const
{
    if (!m_loaded)
        return;
    glEnable(GL_TEXTURE_2D);
    if (draw.blend == 0) {
        glDisable(GL_BLEND);
    } else {
        glEnable(GL_BLEND);
        if (draw.blend == 2)
            glBlendFunc(GL_ONE, GL_ONE);
        else
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    SetColour(draw);
    if (!m_tiled) {
        const double x1 = draw.x + m_width * draw.scaleX;
        const double y1 = draw.y + m_height * draw.scaleY;
        glBindTexture(GL_TEXTURE_2D, m_name);
        glBegin(GL_QUADS);
        glTexCoord2d(0.0, 0.0);
        glVertex3d(draw.x, draw.y, draw.z);
        glTexCoord2d(m_extentU, 0.0);
        glVertex3d(x1, draw.y, draw.z);
        glTexCoord2d(m_extentU, m_extentV);
        glVertex3d(x1, y1, draw.z);
        glTexCoord2d(0.0, m_extentV);
        glVertex3d(draw.x, y1, draw.z);
        glEnd();
        return;
    }
    // Tiles follow the scale too, so a tiled image draws like an untiled one.
    for (const STextureTile& tile : m_tiles) {
        const double x0 = draw.x + tile.x * draw.scaleX;
        const double y0 = draw.y + tile.y * draw.scaleY;
        const double x1 = x0 + tile.width * draw.scaleX;
        const double y1 = y0 + tile.height * draw.scaleY;
        glBindTexture(GL_TEXTURE_2D, tile.name);
        glBegin(GL_QUADS);
        glTexCoord2d(tile.u0, tile.v0);
        glVertex3d(x0, y0, draw.z);
        glTexCoord2d(tile.u1, tile.v0);
        glVertex3d(x1, y0, draw.z);
        glTexCoord2d(tile.u1, tile.v1);
        glVertex3d(x1, y1, draw.z);
        glTexCoord2d(tile.u0, tile.v1);
        glVertex3d(x0, y1, draw.z);
        glEnd();
    }
}
