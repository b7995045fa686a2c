#pragma once

#include "client/view/GLTexture.h"
#include "foundation/Colour.h"

// One image of a skin and the point of it placed on a target position.
struct SSkinImage {
    double anchorX = 0.0;
    double anchorY = 0.0;
    CGLTexture texture;
};

// An image drawn at a scene position, with one linear animation of
// position, scale and alpha at a time.
class CBoardSprite {
public:
    CBoardSprite() = default;
    // Copies the look and place, never the animation or the pool links.
    CBoardSprite(const CBoardSprite& other) { CopyFrom(other); }
    CBoardSprite& operator=(const CBoardSprite& other)
    {
        CopyFrom(other);
        return *this;
    }
    void CopyFrom(const CBoardSprite& other);
    // Back to the constructed state (the pool links stay).
    void Reset();

    void SetImage(const SSkinImage& image);
    void SetImage(const CGLTexture* texture) { m_image = texture; }
    const CGLTexture* GetImage() const { return m_image; }

    // Slides to (x, y) at speed scene units per second, scaling from the
    // current x scale to scale; a sprite already there stops at once.
    void SlideTo(double now, float x, float y, float scale, double speed);
    // Stays in place while scale and alpha move to the targets.
    void FadeTo(double now, float scale, float alpha, double duration);
    void FinishAnimation();
    // Moves the animation on to now; true when the sprite stands still.
    bool Animate(double now);
    // Animate, then draw when visible; true when the sprite stands still.
    bool Draw(double now);
    // Draws at the current state without animating.
    void Render() const;

    bool IsAnimating() const { return m_animating; }
    double GetEndTime() const { return m_endTime; }

    int m_order = 0;
    float m_x = 0.0f;
    float m_y = 0.0f;
    float m_anchorX = 0.0f;
    float m_anchorY = 0.0f;
    float m_scaleX = 1.0f;
    float m_scaleY = 1.0f;
    float m_alpha = 1.0f;
    float m_angle = 0.0f;
    Zorlin::CColour m_colour{255, 255, 255, 255};
    int m_blend = 0;
    bool m_visible = true;

    // The scene's pool links.
    CBoardSprite* m_next = nullptr;
    CBoardSprite* m_previous = nullptr;

private:
    const CGLTexture* m_image = nullptr;
    bool m_animating = false;
    double m_startTime = 0.0;
    double m_endTime = 0.0;
    float m_fromX = 0.0f;
    float m_fromY = 0.0f;
    float m_fromScale = 1.0f;
    float m_fromAlpha = 1.0f;
    float m_toX = 0.0f;
    float m_toY = 0.0f;
    float m_toScale = 1.0f;
    float m_toAlpha = 1.0f;
};
