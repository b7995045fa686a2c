#include "client/view/BoardSprite.h"

#include <GL/gl.h>

#include <cmath>

void CBoardSprite::CopyFrom(const CBoardSprite& other)
{
    if (this == &other)
        return;
    m_order = other.m_order;
    m_x = other.m_x;
    m_y = other.m_y;
    m_anchorX = other.m_anchorX;
    m_anchorY = other.m_anchorY;
    m_scaleX = other.m_scaleX;
    m_scaleY = other.m_scaleY;
    m_alpha = other.m_alpha;
    m_angle = other.m_angle;
    m_colour = other.m_colour;
    m_blend = other.m_blend;
    m_image = other.m_image;
    m_visible = other.m_visible;
    m_animating = false;
}

void CBoardSprite::Reset()
{
    CBoardSprite* next = m_next;
    CBoardSprite* previous = m_previous;
    CopyFrom(CBoardSprite());
    m_next = next;
    m_previous = previous;
}

void CBoardSprite::SetImage(const SSkinImage& image)
{
    m_image = &image.texture;
    m_anchorX = float(image.anchorX);
    m_anchorY = float(image.anchorY);
}

void CBoardSprite::SlideTo(double now, float x, float y, float scale, double speed)
{
    m_fromX = m_x;
    m_fromY = m_y;
    m_fromScale = m_scaleX;
    m_toX = x;
    m_toY = y;
    m_toScale = scale;
    m_fromAlpha = 1.0f;
    m_toAlpha = 1.0f;
    m_startTime = now;
    m_animating = true;
    const double distance = std::hypot(double(m_x) - x, double(m_y) - y);
    if (distance == 0.0 || !(speed > 0.0)) {
        m_endTime = now;
        FinishAnimation();
        return;
    }
    m_endTime = now + distance / speed;
}

void CBoardSprite::FadeTo(double now, float scale, float alpha, double duration)
{
    m_fromX = m_toX = m_x;
    m_fromY = m_toY = m_y;
    m_fromScale = m_scaleX;
    m_fromAlpha = m_alpha;
    m_toScale = scale;
    m_toAlpha = alpha;
    m_startTime = now;
    m_endTime = now + (duration > 0.0 ? duration : 0.0);
    m_animating = true;
}

void CBoardSprite::FinishAnimation()
{
    if (!m_animating)
        return;
    m_x = m_toX;
    m_y = m_toY;
    m_scaleX = m_scaleY = m_toScale;
    m_alpha = m_toAlpha;
    m_animating = false;
}

bool CBoardSprite::Animate(double now)
{
    if (!m_animating)
        return true;
    const double span = m_endTime - m_startTime;
    double t = span > 0.0 ? (now - m_startTime) / span : 1.0;
    if (t >= 1.0) {
        FinishAnimation();
        return true;
    }
    if (t < 0.0)
        t = 0.0;
    m_x = float(m_fromX + (m_toX - m_fromX) * t);
    m_y = float(m_fromY + (m_toY - m_fromY) * t);
    m_scaleX = m_scaleY = float(m_fromScale + (m_toScale - m_fromScale) * t);
    m_alpha = float(m_fromAlpha + (m_toAlpha - m_fromAlpha) * t);
    return false;
}

bool CBoardSprite::Draw(double now)
{
    const bool still = Animate(now);
    Render();
    return still;
}

void CBoardSprite::Render() const
{
    if (!m_visible || !m_image || !m_image->IsLoaded())
        return;
    STextureDraw draw;
    draw.x = m_x - m_anchorX * m_scaleX;
    draw.y = m_y - m_anchorY * m_scaleY;
    draw.scaleX = m_scaleX;
    draw.scaleY = m_scaleY;
    draw.blend = m_blend;
    draw.red = uint8_t(m_colour.GetRed());
    draw.green = uint8_t(m_colour.GetGreen());
    draw.blue = uint8_t(m_colour.GetBlue());
    const float alpha = m_alpha < 0.0f ? 0.0f : m_alpha > 1.0f ? 1.0f : m_alpha;
    draw.alpha = uint8_t(alpha * 255.0f);
    if (m_angle == 0.0f) {
        m_image->Draw(draw);
        return;
    }
    glPushMatrix();
    glRotatef(m_angle, 0.0f, 0.0f, 1.0f);
    m_image->Draw(draw);
    glPopMatrix();
}
