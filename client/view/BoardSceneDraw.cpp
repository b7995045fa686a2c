#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "client/view/BoardScene.h"
#include "foundation/Image.h"

namespace {

// Larger order keys first; then higher rows first and, within a row, right
// to left, so that with depth sorting a lower piece is drawn over the one
// above it.
bool DrawsBefore(const CBoardSprite* a, const CBoardSprite* b)
{
    if (a->m_order != b->m_order)
        return a->m_order > b->m_order;
    return double(a->m_y) * 10000.0 - a->m_x < double(b->m_y) * 10000.0 - b->m_x;
}

} // namespace

void CBoardScene::Draw(bool drawPointer)
{
    const double width = m_geometry.GetViewportWidth();
    const double height = m_geometry.GetViewportHeight();
    if (width * height == 0.0)
        return;
    m_dirty = false;
    // A scene without a usable skin still runs its animations, so callers
    // waiting for it to go quiet are not kept waiting; it draws nothing.
    const bool render = HasSkin();
    if (render) {
        glViewport(0, 0, GLsizei(width), GLsizei(height));
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        SetWindowProjection();
        DrawBackground();
        SetSceneProjection();
        m_board.Render();
        if (m_showCoordinates)
            DrawCoordinates();
        SSquare square;
        if (m_cursorHighlight && !m_pointerAway && SquareAt(float(m_mouseX), float(m_mouseY), square))
            DrawImageAt(m_highlights[0], m_geometry.SquareCentre(square), 255);
        for (int x = 0; x < 8; ++x) {
            for (int y = 0; y < 8; ++y) {
                const int mark = m_marks[x * 8 + y];
                if (mark == 1 || mark == 2)
                    DrawImageAt(m_highlights[mark], m_geometry.SquareCentre(SSquare(x, y)), 255);
            }
        }
    }
    DrawPieces(render);
    ServeQueue();
    FreeFadedCaptures();
    if (render) {
        DrawHints();
        if (m_showAnnotation) {
            DrawPen(m_pens[0]);
            DrawPen(m_pens[1]);
        }
        if (m_showLinks && !m_links.empty()) {
            SetWindowProjection();
            DrawLinks();
            SetSceneProjection();
        }
    }
    DrawPointer(drawPointer, render);
}

void CBoardScene::SetWindowProjection()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, m_geometry.GetViewportWidth(), m_geometry.GetViewportHeight(), 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void CBoardScene::SetSceneProjection()
{
    const double cx = m_geometry.GetCentreX();
    const double cy = m_geometry.GetCentreY();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-cx, m_geometry.GetViewportWidth() - cx, m_geometry.GetViewportHeight() - cy, -cy, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScaled(m_geometry.GetZoom(), m_geometry.GetZoom(), 1.0);
}

void CBoardScene::DrawBackground()
{
    const CGLTexture& texture = m_background.texture;
    const double scale = m_geometry.GetPixelScale();
    const int tileWidth = int(texture.GetWidth() * scale);
    const int tileHeight = int(texture.GetHeight() * scale);
    // No background image, no tiling: a zero step would never end.
    if (!texture.IsLoaded() || tileWidth <= 0 || tileHeight <= 0)
        return;
    SWindowRect margins[4];
    const int count = m_geometry.MarginRects(margins);
    const int windowHeight = int(m_geometry.GetViewportHeight());
    STextureDraw draw;
    draw.blend = 0;
    draw.scaleX = draw.scaleY = scale;
    glEnable(GL_SCISSOR_TEST);
    for (int i = 0; i < count; ++i) {
        const SWindowRect& r = margins[i];
        glScissor(r.x, r.y, r.width, r.height);
        // Only the tiles that meet the rectangle (y down from the top).
        const int top = windowHeight - (r.y + r.height);
        for (int y = (top / tileHeight) * tileHeight; y < top + r.height; y += tileHeight) {
            for (int x = (r.x / tileWidth) * tileWidth; x < r.x + r.width; x += tileWidth) {
                draw.x = x;
                draw.y = y;
                texture.Draw(draw);
            }
        }
    }
    glDisable(GL_SCISSOR_TEST);
}

void CBoardScene::DrawImageAt(const SSkinImage& image, const SScenePoint& at, int alpha)
{
    if (!image.texture.IsLoaded())
        return;
    STextureDraw draw;
    draw.x = at.x - image.anchorX;
    draw.y = at.y - image.anchorY;
    draw.blend = 1;
    draw.alpha = uint8_t(alpha);
    image.texture.Draw(draw);
}

void CBoardScene::DrawCoordinates()
{
    if (!m_font.IsLoaded())
        return;
    const bool flipped = m_geometry.IsFlipped();
    const float left = m_board.m_x - m_board.m_anchorX * m_board.m_scaleX;
    const float top = m_board.m_y - m_board.m_anchorY * m_board.m_scaleY;
    const float squareWidth = float(m_geometry.GetSquareWidth());
    const float squareHeight = float(m_geometry.GetSquareHeight());
    for (int i = 0; i < 8; ++i) {
        const char rank = char(flipped ? '1' + i : '8' - i);
        const char file = char(flipped ? 'H' - i : 'A' + i);
        m_font.DrawGlyph(left + m_rowX, top + i * squareHeight + m_rowY, rank);
        m_font.DrawGlyph(left + i * squareWidth + m_colX, top + m_colY, file);
    }
}

void CBoardScene::DrawPieces(bool render)
{
    m_drawList.clear();
    for (CBoardSprite* s = m_head; s; s = s->m_next)
        m_drawList.push_back(s);
    if (m_depthSort && m_drawList.size() > 1)
        std::sort(m_drawList.begin(), m_drawList.end(), DrawsBefore);
    for (CBoardSprite* sprite : m_drawList) {
        sprite->Animate(m_time);
        if (render)
            sprite->Render();
        if (sprite->IsAnimating())
            m_dirty = true;
        else
            sprite->m_order = 0;
    }
}

void CBoardScene::DrawHints()
{
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 8; ++y)
            if (m_squares[x * 8 + y].m_visible)
                m_squares[x * 8 + y].Render();
}

void CBoardScene::DrawPen(const SPen& pen)
{
    if (pen.nodes.empty())
        return;
    const float sign = m_geometry.IsFlipped() ? -1.0f : 1.0f;
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_POINT_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const float width = float(5.0 * m_geometry.GetPixelScale());
    glLineWidth(width);
    glPointSize(width);
    glColor4ub(GLubyte(pen.colour.GetRed()), GLubyte(pen.colour.GetGreen()), GLubyte(pen.colour.GetBlue()), 255);
    bool open = false;
    for (const SPenNode& node : pen.nodes) {
        if (node.kind == 0 && open) {
            glEnd();
            open = false;
        }
        if (!open) {
            glBegin(GL_LINE_STRIP);
            open = true;
        }
        glVertex2f(sign * node.x, sign * node.y);
    }
    if (open)
        glEnd();
    glBegin(GL_POINTS);
    for (const SPenNode& node : pen.nodes)
        glVertex2f(sign * node.x, sign * node.y);
    glEnd();
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_POINT_SMOOTH);
}

void CBoardScene::DrawLinks()
{
    for (const auto& link : m_links) {
        if (!link->image.IsLoaded())
            continue;
        // Window furniture keeps its size on the desktop at any pixel scale.
        STextureDraw draw;
        draw.scaleX = draw.scaleY = m_geometry.GetPixelScale();
        draw.x = link->left ? 0.0 : m_geometry.GetViewportWidth() - link->image.GetWidth() * draw.scaleX;
        draw.y = link->top ? 0.0 : m_geometry.GetViewportHeight() - link->image.GetHeight() * draw.scaleY;
        draw.blend = 1;
        const float alpha = HitLink(*link) ? link->over : link->off;
        draw.alpha = uint8_t(alpha < 0.0f ? 0.0f : alpha > 255.0f ? 255.0f : alpha);
        link->image.Draw(draw);
    }
}

void CBoardScene::DrawPointer(bool drawPointer, bool render)
{
    const SScenePoint pointer = m_geometry.WindowToBoard(m_mouseX, m_mouseY);
    if (m_dragging) {
        m_dragCopy.m_x = float(pointer.x - m_dragOffsetX);
        m_dragCopy.m_y = float(pointer.y - m_dragOffsetY);
        if (render)
            m_dragCopy.Render();
        m_dirty = true;
    }
    if (!render || !drawPointer || m_pointerAway)
        return;
    CBoardSprite& sprite = m_dragging ? m_grip : m_point;
    sprite.m_x = float(pointer.x);
    sprite.m_y = float(pointer.y);
    sprite.Render();
}

bool CBoardScene::GrabImage(Zorlin::CImage& out)
{
    Draw(false);
    SWindowRect rect;
    if (!m_geometry.SnapshotRect(rect))
        return false;
    out.Create(rect.width, rect.height, 19);
    if (!out.HasPixels())
        return false;
    out.Clear(Zorlin::CColour(0, 0, 0, 255));
    if (!HasSkin())
        return true;
    // Only the part inside the window can be read; the rest stays black.
    const int windowWidth = int(m_geometry.GetViewportWidth());
    const int windowHeight = int(m_geometry.GetViewportHeight());
    const int x0 = std::max(rect.x, 0);
    const int y0 = std::max(rect.y, 0);
    const int x1 = std::min(rect.x + rect.width, windowWidth);
    const int y1 = std::min(rect.y + rect.height, windowHeight);
    if (x1 <= x0 || y1 <= y0)
        return true;
    const int readWidth = x1 - x0;
    const int readHeight = y1 - y0;
    std::vector<uint8_t> pixels(size_t(readWidth) * readHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glReadPixels(x0, y0, readWidth, readHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    // OpenGL rows run bottom-up; the image's top-down.
    for (int row = 0; row < readHeight; ++row) {
        const int imageRow = rect.height - 1 - (y0 - rect.y + row);
        uint8_t* to = out.GetRow(imageRow) + size_t(x0 - rect.x) * 3;
        std::memcpy(to, pixels.data() + size_t(row) * readWidth * 3, size_t(readWidth) * 3);
    }
    return true;
}
