#include "client/view/GlobeRenderer.h"

#include <algorithm>
#include <cmath>

#include "client/view/BumpLight.h"

using Zorlin::CImage;

CGlobeRenderer::CGlobeRenderer(int width, int height, int radius)
    : m_width(std::max(1, width)), m_height(std::max(1, height)), m_radius(std::max(1, radius)),
      m_rotation(0.0), m_lastTime(-1.0)
{
    m_output.Create(m_width, m_height, kRgbFormat);
    m_output.Clear(Zorlin::CColour::Black);
    BuildLookup();
}

void CGlobeRenderer::BuildLookup()
{
    const double light[3] = {3 / std::sqrt(38.0), -2 / std::sqrt(38.0), 5 / std::sqrt(38.0)};
    const double pi = 3.14159265358979323846;
    int textureWidth = m_texture.HasPixels() ? m_texture.GetWidth() : 1;
    m_spans.assign(size_t(m_height), SSpan{-1, -1});
    m_columns.assign(size_t(m_width) * size_t(m_height), 0);
    m_shades.assign(size_t(m_width) * size_t(m_height), 0);
    double r = m_radius;
    for (int row = 0; row < m_height; ++row) {
        SSpan& span = m_spans[size_t(row)];
        for (int column = 0; column < m_width; ++column) {
            double dx = column - m_width / 2, dy = row - m_height / 2;
            double inside = r * r - dx * dx - dy * dy;
            if (inside <= 0) {
                if (span.first >= 0 && span.end < 0)
                    span.end = column;
                continue;
            }
            if (span.first < 0)
                span.first = column;
            double z = std::sqrt(inside);
            double a = dx == 0 ? pi / 2 : std::atan(z / dx);
            if (a < 0)
                a += pi;
            m_columns[Index(column, row)] = int(-(a / (2 * pi)) * textureWidth * 256);
            double dot = (dx * light[0] + dy * light[1] + z * light[2]) / r;
            double shade = std::min(1.0, std::max(0.0, dot) * 1.1 + 0.2);
            m_shades[Index(column, row)] = uint8_t(shade * 255);
        }
        if (span.first >= 0 && span.end < 0)
            span.end = m_width;
    }
}

void CGlobeRenderer::SetTexture(const CImage& texture)
{
    m_texture.Reset();
    if (texture.HasPixels()) {
        m_texture.Create(texture.GetWidth(), texture.GetHeight(), kRgbFormat);
        m_texture.Blit(texture, 0, 0);
    }
    BuildLookup();
}

void CGlobeRenderer::SetBackground(const CImage& background)
{
    m_background.Reset();
    if (background.HasPixels()) {
        m_background.Create(background.GetWidth(), background.GetHeight(), kRgbFormat);
        m_background.Blit(background, 0, 0);
    }
}

void CGlobeRenderer::Advance(double now)
{
    if (m_lastTime < 0)
        m_lastTime = now;
    m_rotation += (now - m_lastTime) * kTurnsPerSecond;
    // Whole turns change nothing, and a small number keeps its precision.
    m_rotation -= std::floor(m_rotation);
    m_lastTime = now;
}

void CGlobeRenderer::Render(bool pressed, bool hovered)
{
    m_output.Clear(Zorlin::CColour::Black);
    if (m_background.HasPixels())
        m_output.Blit(m_background, 0, 0);
    if (!m_texture.HasPixels())
        return;
    int shift = pressed ? 3 : 0;
    DrawDisc(shift, shift, hovered && !pressed);
}

void CGlobeRenderer::DrawDisc(int offsetX, int offsetY, bool hovered)
{
    int tw = m_texture.GetWidth(), th = m_texture.GetHeight();
    long long turn = (long long)(m_rotation * tw * 256);
    for (int row = 0; row < m_height; ++row) {
        const SSpan& span = m_spans[size_t(row)];
        int y = row + offsetY;
        if (span.first < 0 || y < 0 || y >= m_height)
            continue;
        int textureRow = int(((row - m_height / 2) / double(m_radius) + 1) * th / 2);
        textureRow = std::min(th - 1, std::max(0, textureRow));
        const uint8_t* texels = m_texture.GetRow(textureRow);
        uint8_t* out = m_output.GetRow(y);
        for (int column = span.first; column < span.end; ++column) {
            int x = column + offsetX;
            if (x < 0 || x >= m_width)
                continue;
            // Rounded down, so a whole turn lands on the same column; then
            // wrapped at the texture's real width.
            long long fixed = m_columns[Index(column, row)] + turn;
            long long textureColumn = fixed >= 0 ? fixed / 256 : -((-fixed + 255) / 256);
            textureColumn %= tw;
            if (textureColumn < 0)
                textureColumn += tw;
            const uint8_t* texel = texels + textureColumn * 3;
            int shade = m_shades[Index(column, row)];
            int red = texel[0] * shade / 256, green = texel[1] * shade / 256, blue = texel[2] * shade / 256;
            if (hovered) {
                red = std::min(255, red + 20);
                green = std::min(255, green + 40);
                blue = std::min(255, blue + 20);
            }
            out[x * 3] = uint8_t(red);
            out[x * 3 + 1] = uint8_t(green);
            out[x * 3 + 2] = uint8_t(blue);
        }
    }
}
