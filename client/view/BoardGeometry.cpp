#include "client/view/BoardGeometry.h"

#include <algorithm>
#include <cmath>

void CBoardGeometry::SetBoard(int imageWidth, int imageHeight, double left, double top,
                              double right, double bottom, int border)
{
    m_imageWidth = imageWidth > 0 ? imageWidth : 0;
    m_imageHeight = imageHeight > 0 ? imageHeight : 0;
    m_left = left;
    m_top = top;
    m_squareWidth = right > left ? (right - left) / 8.0 : 0.0;
    m_squareHeight = bottom > top ? (bottom - top) / 8.0 : 0.0;
    m_anchorX = left + (right - left) * 0.5;
    m_anchorY = top + (bottom - top) * 0.5;
    m_border = border;
    m_zoom = FitZoom(m_viewWidth, m_viewHeight, m_imageWidth, m_imageHeight, m_border, m_pixelScale);
}

void CBoardGeometry::SetViewport(double width, double height)
{
    m_viewWidth = width > 0.0 ? width : 0.0;
    m_viewHeight = height > 0.0 ? height : 0.0;
    m_zoom = FitZoom(m_viewWidth, m_viewHeight, m_imageWidth, m_imageHeight, m_border, m_pixelScale);
}

void CBoardGeometry::SetPixelScale(double scale)
{
    // A scale below one would shrink the board on an ordinary screen.
    m_pixelScale = scale > 1.0 ? scale : 1.0;
    m_zoom = FitZoom(m_viewWidth, m_viewHeight, m_imageWidth, m_imageHeight, m_border, m_pixelScale);
}

double CBoardGeometry::GetCentreX() const { return std::floor(m_viewWidth * 0.5); }
double CBoardGeometry::GetCentreY() const { return std::floor(m_viewHeight * 0.5); }

double CBoardGeometry::FitZoom(double windowWidth, double windowHeight, int imageWidth,
                               int imageHeight, int border, double largest)
{
    const double fullWidth = double(imageWidth) + border;
    const double fullHeight = double(imageHeight) + border;
    if (windowWidth <= 0.0 || windowHeight <= 0.0 || fullWidth <= 0.0 || fullHeight <= 0.0)
        return largest;
    // Either ratio alone lets a board that is wider (or taller) than the
    // window's shape overflow it.
    const double zoom = std::min(windowWidth / fullWidth, windowHeight / fullHeight);
    return zoom > largest ? largest : zoom;
}

SScenePoint CBoardGeometry::SquareCentre(const SSquare& square) const
{
    const int file = m_flipped ? 7 - square.x : square.x;
    const int row = m_flipped ? square.y : 7 - square.y;
    return {(file + 0.5) * m_squareWidth + m_left - m_anchorX,
            (row + 0.5) * m_squareHeight + m_top - m_anchorY};
}

bool CBoardGeometry::SquareAt(double x, double y, SSquare& out) const
{
    if (!HasSquares())
        return false;
    const SScenePoint p = WindowToBoard(x, y);
    const double column = std::floor(p.x / m_squareWidth + 4.0);
    const double row = std::floor(p.y / m_squareHeight + 4.0);
    if (column < 0.0 || column > 7.0 || row < 0.0 || row > 7.0)
        return false;
    const int c = int(column);
    const int r = int(row);
    out = m_flipped ? SSquare(7 - c, r) : SSquare(c, 7 - r);
    return true;
}

SScenePoint CBoardGeometry::WindowToBoard(double x, double y) const
{
    return {(x - GetCentreX()) / m_zoom, (y - GetCentreY()) / m_zoom};
}

SScenePoint CBoardGeometry::SceneToWindow(double x, double y) const
{
    return {x * m_zoom + GetCentreX(), y * m_zoom + GetCentreY()};
}

SScenePoint CBoardGeometry::PixelsToBoard(const SScenePoint& p) const
{
    if (!HasSquares())
        return {0.0, 0.0};
    const double sign = m_flipped ? -1.0 : 1.0;
    return {sign * p.x / (8.0 * m_squareWidth), sign * p.y / (8.0 * m_squareHeight)};
}

SScenePoint CBoardGeometry::BoardToPixels(const SScenePoint& p) const
{
    const double sign = m_flipped ? -1.0 : 1.0;
    return {sign * p.x * 8.0 * m_squareWidth, sign * p.y * 8.0 * m_squareHeight};
}

bool CBoardGeometry::FillsWindow() const
{
    SWindowRect margins[4];
    return m_imageWidth > 0 && MarginRects(margins) == 0;
}

int CBoardGeometry::MarginRects(SWindowRect out[4]) const
{
    const int width = int(m_viewWidth);
    const int height = int(m_viewHeight);
    if (width <= 0 || height <= 0)
        return 0;
    // The board image in window pixels, y down.
    const SScenePoint topLeft = SceneToWindow(-m_anchorX, -m_anchorY);
    const SScenePoint bottomRight = SceneToWindow(m_imageWidth - m_anchorX, m_imageHeight - m_anchorY);
    auto clamp = [](double v, int hi) { return int(std::min(std::max(v, 0.0), double(hi))); };
    const int left = clamp(std::ceil(topLeft.x - 1e-9), width);
    const int top = clamp(std::ceil(topLeft.y - 1e-9), height);
    const int right = clamp(std::floor(bottomRight.x + 1e-9), width);
    const int bottom = clamp(std::floor(bottomRight.y + 1e-9), height);
    if (m_imageWidth <= 0 || m_imageHeight <= 0 || right <= left || bottom <= top) {
        out[0] = {0, 0, width, height};
        return 1;
    }
    int n = 0;
    if (top > 0)
        out[n++] = {0, height - top, width, top};
    if (bottom < height)
        out[n++] = {0, 0, width, height - bottom};
    if (left > 0)
        out[n++] = {0, height - bottom, left, bottom - top};
    if (right < width)
        out[n++] = {right, height - bottom, width - right, bottom - top};
    return n;
}

bool CBoardGeometry::SnapshotRect(SWindowRect& out) const
{
    out.width = int(std::floor(int(m_imageWidth + m_border) * m_zoom));
    out.height = int(std::floor(int(m_imageHeight + m_border) * m_zoom));
    if (out.width <= 0 || out.height <= 0)
        return false;
    out.x = int(std::floor(GetCentreX() - (m_border * 0.5 + m_anchorX) * m_zoom));
    // OpenGL rows run bottom-up: the corner is the image's bottom edge,
    // which is only mirrored from the top when the squares sit centred.
    const double bottom = GetCentreY() + (m_imageHeight - m_anchorY + m_border * 0.5) * m_zoom;
    out.y = int(std::floor(m_viewHeight - bottom + 1e-9));
    return true;
}
