#include "client/view/GLFont.h"

#include <GL/gl.h>

#include <cstdlib>

#include "client/view/SkinName.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/MemFile.h"

using Zorlin::CConfig;
using Zorlin::CDrive;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

int ReadInt(CConfig& frame, const char* key) { return std::atoi(frame.GetValueOr(key, "").GetText()); }

uint8_t ReadByte(CConfig& frame, const char* key)
{
    const int v = ReadInt(frame, key);
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

CGLFont::SRgba ReadColour(CConfig& frame, const char* name)
{
    frame.PushPrefix(name);
    CGLFont::SRgba colour;
    colour.red = ReadByte(frame, "Red");
    colour.green = ReadByte(frame, "Green");
    colour.blue = ReadByte(frame, "Blue");
    colour.alpha = ReadByte(frame, "Alpha");
    frame.PopPrefix();
    return colour;
}

} // namespace

bool CGLFont::Load(CDrive& pack, CConfig& frame)
{
    Release();
    m_offsetX = ReadInt(frame, "X");
    m_offsetY = ReadInt(frame, "Y");
    m_size = ReadInt(frame, "Size");
    m_dropShadow = ReadInt(frame, "DropShadow");
    m_colour = ReadColour(frame, "Colour");
    m_shadowColour = ReadColour(frame, "ShadowColour");
    const CString name = frame.GetValueOr("Image", "");
    if (!IsPackageFileName(name))
        return false;
    Zorlin::CAutoPointer<CFile> file = pack.OpenFile(name, CFile::kModeRead);
    if (!file || file->IsNull() || !file->IsOpen())
        return false;
    // Read whole into memory; the memory file keeps the name, whose
    // extension picks the decoder.
    Zorlin::CMemFile memory(*file, 1024);
    if (!memory.IsOpen() || memory.GetSize() == 0)
        return false;
    if (!m_texture.Load(memory, CGLTexture::KIND_ALPHA, nullptr))
        return false;
    m_cellWidth = m_texture.GetWidth() / 4.0;
    m_cellHeight = m_texture.GetHeight() / 4.0;
    return IsLoaded();
}

void CGLFont::Release()
{
    m_texture.Release();
    m_cellWidth = m_cellHeight = 0.0;
}

void CGLFont::DrawQuad(const SGlyphQuad& quad, const SGlyphCell& cell, const SRgba& colour) const
{
    const double u0 = cell.u * m_texture.GetExtentU();
    const double v0 = cell.v * m_texture.GetExtentV();
    const double u1 = (cell.u + cell.width) * m_texture.GetExtentU();
    const double v1 = (cell.v + cell.height) * m_texture.GetExtentV();
    if (CGLTexture::IsDimmed())
        glColor4ub(uint8_t((colour.red + 1) / 2), uint8_t((colour.green + 1) / 2),
                   uint8_t((colour.blue + 1) / 2), colour.alpha);
    else
        glColor4ub(colour.red, colour.green, colour.blue, colour.alpha);
    glBegin(GL_QUADS);
    glTexCoord2d(u0, v0);
    glVertex2d(quad.x, quad.y);
    glTexCoord2d(u1, v0);
    glVertex2d(quad.x + quad.width, quad.y);
    glTexCoord2d(u1, v1);
    glVertex2d(quad.x + quad.width, quad.y + quad.height);
    glTexCoord2d(u0, v1);
    glVertex2d(quad.x, quad.y + quad.height);
    glEnd();
}

void CGLFont::DrawGlyph(float x, float y, char c) const
{
    SGlyphCell cell;
    SGlyphQuad quad;
    if (!IsLoaded() || m_texture.IsTiled() || !FindGlyphCell(c, cell) ||
        !LayOutGlyph(x, y, m_offsetX, m_offsetY, m_size, m_cellWidth, m_cellHeight, quad))
        return;
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindTexture(GL_TEXTURE_2D, m_texture.GetName());
    for (int i = 1; i <= m_dropShadow; ++i) {
        SGlyphQuad shadow = quad;
        shadow.x += i;
        shadow.y += i;
        DrawQuad(shadow, cell, m_shadowColour);
    }
    DrawQuad(quad, cell, m_colour);
}
