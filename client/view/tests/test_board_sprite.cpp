#include <gtest/gtest.h>

#include <cmath>

#include "client/view/BoardSprite.h"

TEST(BoardSprite, StartsStillOpaqueWhiteAndVisible)
{
    CBoardSprite s;
    EXPECT_FALSE(s.IsAnimating());
    EXPECT_FLOAT_EQ(s.m_scaleX, 1.0f);
    EXPECT_FLOAT_EQ(s.m_alpha, 1.0f);
    EXPECT_EQ(s.m_colour.GetAlpha(), 255);
    EXPECT_EQ(s.m_colour.GetRed(), 255);
    EXPECT_TRUE(s.m_visible);
    EXPECT_EQ(s.m_blend, 0);
    EXPECT_TRUE(s.Animate(5.0));
}

TEST(BoardSprite, SlideTakesDistanceOverSpeedAndInterpolatesLinearly)
{
    CBoardSprite s;
    s.m_x = 0.0f;
    s.m_y = 0.0f;
    s.m_scaleX = s.m_scaleY = 1.2f;
    s.SlideTo(10.0, 300.0f, 400.0f, 1.0f, 1000.0); // 500 units at 1000/s
    ASSERT_TRUE(s.IsAnimating());
    EXPECT_DOUBLE_EQ(s.GetEndTime(), 10.5);
    EXPECT_FALSE(s.Animate(10.25));
    EXPECT_NEAR(s.m_x, 150.0f, 1e-3);
    EXPECT_NEAR(s.m_y, 200.0f, 1e-3);
    EXPECT_NEAR(s.m_scaleX, 1.1f, 1e-5);
    EXPECT_FLOAT_EQ(s.m_scaleX, s.m_scaleY);
    EXPECT_FLOAT_EQ(s.m_alpha, 1.0f);
    // A clock that goes back holds the start, it does not extrapolate.
    EXPECT_FALSE(s.Animate(9.0));
    EXPECT_NEAR(s.m_x, 0.0f, 1e-3);
    EXPECT_TRUE(s.Animate(10.5));
    EXPECT_FALSE(s.IsAnimating());
    EXPECT_FLOAT_EQ(s.m_x, 300.0f);
    EXPECT_FLOAT_EQ(s.m_y, 400.0f);
    EXPECT_FLOAT_EQ(s.m_scaleY, 1.0f);
    // Later frames keep it there.
    EXPECT_TRUE(s.Animate(99.0));
    EXPECT_FLOAT_EQ(s.m_x, 300.0f);
}

TEST(BoardSprite, ASlideOfNoDistanceOrSpeedEndsAtOnce)
{
    CBoardSprite s;
    s.m_x = 7.0f;
    s.m_scaleX = s.m_scaleY = 1.2f;
    s.SlideTo(1.0, 7.0f, 0.0f, 1.0f, 400.0);
    EXPECT_FALSE(s.IsAnimating());
    EXPECT_FLOAT_EQ(s.m_scaleX, 1.0f);
    s.SlideTo(1.0, 50.0f, 0.0f, 1.0f, 0.0);
    EXPECT_FALSE(s.IsAnimating());
    EXPECT_FLOAT_EQ(s.m_x, 50.0f);
}

TEST(BoardSprite, FadeStaysInPlaceWhileGrowingAndVanishing)
{
    CBoardSprite s;
    s.m_x = 40.0f;
    s.m_y = -20.0f;
    s.m_alpha = 0.8f;
    s.FadeTo(2.0, 1.5f, 0.0f, 0.5);
    EXPECT_FALSE(s.Animate(2.25));
    EXPECT_FLOAT_EQ(s.m_x, 40.0f);
    EXPECT_FLOAT_EQ(s.m_y, -20.0f);
    EXPECT_NEAR(s.m_scaleX, 1.25f, 1e-5);
    EXPECT_NEAR(s.m_alpha, 0.4f, 1e-5);
    EXPECT_TRUE(s.Animate(2.5));
    EXPECT_FLOAT_EQ(s.m_alpha, 0.0f);
    EXPECT_FLOAT_EQ(s.m_scaleX, 1.5f);
    // No duration: finished at the first frame, not a division by zero.
    CBoardSprite t;
    t.FadeTo(1.0, 2.0f, 0.5f, 0.0);
    EXPECT_TRUE(t.Animate(1.0));
    EXPECT_FLOAT_EQ(t.m_alpha, 0.5f);
}

TEST(BoardSprite, FinishJumpsToTheTarget)
{
    CBoardSprite s;
    s.SlideTo(0.0, 100.0f, 0.0f, 2.0f, 10.0);
    s.Animate(1.0);
    ASSERT_TRUE(s.IsAnimating());
    s.FinishAnimation();
    EXPECT_FALSE(s.IsAnimating());
    EXPECT_FLOAT_EQ(s.m_x, 100.0f);
    EXPECT_FLOAT_EQ(s.m_scaleY, 2.0f);
}

TEST(BoardSprite, ACopyTakesTheLookButNotTheAnimationOrLinks)
{
    SSkinImage image;
    image.anchorX = 12.5;
    image.anchorY = 30.0;
    CBoardSprite s;
    s.SetImage(image);
    s.m_order = 3;
    s.m_x = 5.0f;
    s.m_angle = 45.0f;
    s.m_blend = 2;
    s.m_visible = false;
    s.m_colour = Zorlin::CColour(1, 2, 3, 4);
    CBoardSprite other;
    s.m_next = &other;
    s.SlideTo(0.0, 500.0f, 0.0f, 1.0f, 1.0);
    CBoardSprite copy(s);
    EXPECT_EQ(copy.m_order, 3);
    EXPECT_FLOAT_EQ(copy.m_x, 5.0f);
    EXPECT_FLOAT_EQ(copy.m_anchorX, 12.5f);
    EXPECT_FLOAT_EQ(copy.m_anchorY, 30.0f);
    EXPECT_FLOAT_EQ(copy.m_angle, 45.0f);
    EXPECT_EQ(copy.m_blend, 2);
    EXPECT_FALSE(copy.m_visible);
    EXPECT_EQ(copy.m_colour, s.m_colour);
    EXPECT_EQ(copy.GetImage(), &image.texture);
    EXPECT_FALSE(copy.IsAnimating());
    EXPECT_EQ(copy.m_next, nullptr);
    // Reset keeps the links, drops everything else.
    s.Reset();
    EXPECT_EQ(s.m_next, &other);
    EXPECT_EQ(s.GetImage(), nullptr);
    EXPECT_TRUE(s.m_visible);
    EXPECT_FALSE(s.IsAnimating());
}
