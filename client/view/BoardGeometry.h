#pragma once

#include "chess/ChessTypes.h"

// A point in scene units (pixels of the skin's board image, origin at the
// window centre, y down) or in fractions of the board.
struct SScenePoint {
    double x = 0.0;
    double y = 0.0;
};

// A rectangle in OpenGL window coordinates: origin bottom-left.
struct SWindowRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Where the board stands in the window and which square lies where. The
// board rectangle's centre is the scene origin, which is the window centre.
class CBoardGeometry {
public:
    // The image size, the rectangle of the 64 squares inside it, and the
    // border added round the image when fitting it to the window.
    void SetBoard(int imageWidth, int imageHeight, double left, double top, double right,
                  double bottom, int border);
    void Reset() { *this = CBoardGeometry(); }
    // A rectangle with no width or height has no squares to hit or place.
    bool HasSquares() const { return m_squareWidth > 0.0 && m_squareHeight > 0.0; }

    // The window in device pixels. The pixel scale is how many device
    // pixels the screen gives one pixel of the desktop (2 on a HiDPI screen):
    // the board may be enlarged up to it, so that it shows as large as on an
    // ordinary screen and as sharp as its pictures allow.
    void SetViewport(double width, double height);
    void SetPixelScale(double scale);
    double GetPixelScale() const { return m_pixelScale; }
    void SetFlipped(bool flipped) { m_flipped = flipped; }
    bool IsFlipped() const { return m_flipped; }

    double GetZoom() const { return m_zoom; }
    double GetViewportWidth() const { return m_viewWidth; }
    double GetViewportHeight() const { return m_viewHeight; }
    double GetSquareWidth() const { return m_squareWidth; }
    double GetSquareHeight() const { return m_squareHeight; }
    double GetAnchorX() const { return m_anchorX; }
    double GetAnchorY() const { return m_anchorY; }
    int GetImageWidth() const { return m_imageWidth; }
    int GetImageHeight() const { return m_imageHeight; }
    int GetBorder() const { return m_border; }
    // The window pixel the scene origin falls on (whole pixels keep the
    // board's texels on pixel centres).
    double GetCentreX() const;
    double GetCentreY() const;

    // The largest zoom, at most the largest given, at which image plus
    // border fits both ways; the largest for an empty window or image.
    static double FitZoom(double windowWidth, double windowHeight, int imageWidth, int imageHeight,
                          int border, double largest = 1.0);

    SScenePoint SquareCentre(const SSquare& square) const;
    // The square under a window point; false off the board.
    bool SquareAt(double x, double y, SSquare& out) const;
    SScenePoint WindowToBoard(double x, double y) const;
    SScenePoint SceneToWindow(double x, double y) const;
    SScenePoint PixelsToBoard(const SScenePoint& p) const;
    SScenePoint BoardToPixels(const SScenePoint& p) const;

    // The board image's top-left corner in scene units.
    SScenePoint ImageTopLeft() const { return {-m_anchorX, -m_anchorY}; }
    // True when the board covers every pixel of the window.
    bool FillsWindow() const;
    // The parts of the window the board does not fully cover: up to four
    // rectangles (top, bottom, left, right); returns how many.
    int MarginRects(SWindowRect out[4]) const;
    // The window rectangle holding the board with its border, as the
    // snapshot reads it; false when it is empty.
    bool SnapshotRect(SWindowRect& out) const;

private:
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    double m_left = 0.0;
    double m_top = 0.0;
    double m_squareWidth = 0.0;
    double m_squareHeight = 0.0;
    double m_anchorX = 0.0;
    double m_anchorY = 0.0;
    int m_border = 0;
    double m_viewWidth = 0.0;
    double m_viewHeight = 0.0;
    double m_zoom = 1.0;
    double m_pixelScale = 1.0;
    bool m_flipped = false;
};
