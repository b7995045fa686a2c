#pragma once

#include <vector>

#include "foundation/Image.h"

// The spinning globe drawn in software: a disc of the earth texture,
// wrapped round a sphere and shaded by a fixed light, over a background.
// Pictures and output are 24-bit RGB (format 19).
class CGlobeRenderer {
public:
    // Turns per second: once every six seconds.
    static constexpr double kTurnsPerSecond = 1.0 / 6.0;

    // A W x H grid with a disc of radius r centred in it.
    CGlobeRenderer(int width, int height, int radius);

    // The texture's own width and height are used as they are.
    void SetTexture(const Zorlin::CImage& texture);
    void SetBackground(const Zorlin::CImage& background);

    // Forgets the last frame's time, so the next Advance does not jump.
    void ResetClock() { m_lastTime = -1.0; }
    // Turns the globe by the time since the last call.
    void Advance(double nowSeconds);
    void Render(bool pressed, bool hovered);

    double GetRotation() const { return m_rotation; }
    void SetRotation(double turns) { m_rotation = turns; }
    const Zorlin::CImage& GetOutput() const { return m_output; }
    int GetRadius() const { return m_radius; }

    // The lookup of one grid row: first covered column and first column
    // after the disc, (-1, -1) for a row the disc does not touch.
    struct SSpan {
        int first;
        int end;
    };
    const SSpan& GetSpan(int row) const { return m_spans[size_t(row)]; }
    // Texture column (8 fraction bits) and shade (0-255) of a covered pixel.
    int GetTextureColumn(int column, int row) const { return m_columns[Index(column, row)]; }
    int GetShade(int column, int row) const { return m_shades[Index(column, row)]; }

private:
    size_t Index(int column, int row) const { return size_t(row) * size_t(m_width) + size_t(column); }
    void BuildLookup();
    void DrawDisc(int offsetX, int offsetY, bool hovered);

    int m_width;
    int m_height;
    int m_radius;
    std::vector<SSpan> m_spans;
    std::vector<int> m_columns;
    std::vector<uint8_t> m_shades;
    Zorlin::CImage m_texture;
    Zorlin::CImage m_background;
    Zorlin::CImage m_output;
    double m_rotation;
    double m_lastTime;
};
