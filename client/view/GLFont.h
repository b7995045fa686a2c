#pragma once

#include <cstdint>

#include "client/view/GLTexture.h"
#include "client/view/GlyphLayout.h"

namespace Zorlin {
class CConfig;
class CDrive;
}

// The board's bitmap font: the 16 glyphs "ABCDEFGH12345678" in one image
// of 4 x 4 cells, used for the board coordinates.
class CGLFont {
public:
    struct SRgba {
        uint8_t red = 0;
        uint8_t green = 0;
        uint8_t blue = 0;
        uint8_t alpha = 0;
    };

    // Reads X, Y, Size, DropShadow, Colour, ShadowColour and Image under the
    // store's current prefix; the image is opened through the pack's
    // current folder. False (and nothing drawn later) when the image does
    // not open or make a texture.
    bool Load(Zorlin::CDrive& pack, Zorlin::CConfig& frame);
    void Release();
    bool IsLoaded() const { return m_texture.IsLoaded() && m_cellWidth > 0.0 && m_cellHeight > 0.0; }
    void DrawGlyph(float x, float y, char c) const;

    int GetOffsetX() const { return m_offsetX; }
    int GetOffsetY() const { return m_offsetY; }
    int GetSize() const { return m_size; }
    int GetDropShadow() const { return m_dropShadow; }
    const SRgba& GetColour() const { return m_colour; }
    const SRgba& GetShadowColour() const { return m_shadowColour; }

private:
    void DrawQuad(const SGlyphQuad& quad, const SGlyphCell& cell, const SRgba& colour) const;

    int m_offsetX = 0;
    int m_offsetY = 0;
    int m_size = 0;
    int m_dropShadow = 0;
    SRgba m_colour;
    SRgba m_shadowColour;
    CGLTexture m_texture;
    double m_cellWidth = 0.0;
    double m_cellHeight = 0.0;
};
