#pragma once

#include "chess/ChessTypes.h"
#include "client/view/BoardGeometry.h"
#include "foundation/Colour.h"
#include "foundation/String.h"

namespace Zorlin {
class CDrive;
class CImage;
}

class CBoardSprite;

// Everything the board canvas asks of whatever draws the board. Colours
// are 0 White and 1 Black, pieces a PieceType; window points are device
// pixels of the window, scene points pixels of the skin's board image. Every operation
// defaults to doing nothing.
class CBoardRenderer {
public:
    virtual ~CBoardRenderer() {}

    virtual bool LoadSkin(Zorlin::CDrive& /*pack*/) { return false; }
    // Whether LoadSkin would take the pack: every file read and every
    // picture decoded, without making textures (no GL context needed).
    virtual bool CheckSkin(Zorlin::CDrive& /*pack*/) { return false; }
    virtual void GetSceneSize(int& /*width*/, int& /*height*/) {}
    // The window's size in device pixels, and how many device pixels the
    // screen gives one client pixel.
    virtual void SetViewportSize(int /*width*/, int /*height*/) {}
    virtual void SetPixelScale(double /*scale*/) {}
    virtual void SetTime(double /*seconds*/) {}
    virtual void Draw(bool /*drawPointer*/) {}
    virtual bool NeedsRedraw() { return false; }
    virtual void Clear() {}
    virtual CBoardSprite* AddPiece(int /*colour*/, int /*piece*/, const SSquare& /*square*/,
                                   bool /*alternate*/)
    {
        return nullptr;
    }
    virtual void RemovePiece(CBoardSprite* /*sprite*/) {}
    virtual void CapturePiece(CBoardSprite* /*sprite*/) {}
    virtual void SetPieceImage(CBoardSprite* /*sprite*/, int /*colour*/, int /*piece*/) {}
    virtual void SetShowCursorHighlight(bool /*show*/) {}
    virtual void SetSquareImage(int /*colour*/, int /*piece*/, bool /*alternate*/,
                                const SSquare& /*square*/)
    {
    }
    virtual void ClearSquareImages() {}
    virtual void MarkSquare(const SSquare& /*square*/, int /*value*/) {}
    virtual void ClearMarks() {}
    virtual bool SquareAt(float /*x*/, float /*y*/, SSquare& /*out*/) { return false; }
    virtual bool SetMousePosition(float /*x*/, float /*y*/) { return false; }
    virtual void HidePointer() {}
    virtual void SetDraggedPiece(CBoardSprite* /*sprite*/) {}
    virtual void MovePiece(CBoardSprite* /*sprite*/, const SSquare& /*square*/) {}
    virtual void QueueItem(CBoardSprite* /*sprite*/, const SSquare& /*square*/,
                           CBoardSprite* /*capture*/, int /*colour*/, int /*piece*/)
    {
    }
    virtual void SetFlipped(bool /*flipped*/) {}
    virtual bool IsFlipped() { return false; }
    virtual void SetShowCoordinates(bool /*show*/) {}
    virtual void SetShowLinks(bool /*show*/) {}
    virtual SScenePoint WindowToBoard(double /*x*/, double /*y*/) { return SScenePoint(); }
    virtual SScenePoint PixelsToBoard(const SScenePoint& /*p*/) { return SScenePoint(); }
    virtual SScenePoint BoardToPixels(const SScenePoint& /*p*/) { return SScenePoint(); }
    virtual void SetPenColour(int /*pen*/, Zorlin::CColour /*colour*/) {}
    virtual void PenMoveTo(int /*pen*/, float /*x*/, float /*y*/) {}
    virtual void PenLineTo(int /*pen*/, float /*x*/, float /*y*/) {}
    virtual void ClearPen(int /*pen*/) {}
    virtual void ClientToScene(int /*x*/, int /*y*/, float& /*sx*/, float& /*sy*/) {}
    virtual void SetGameValue(int /*value*/) {}
    virtual bool GrabImage(Zorlin::CImage& /*out*/) { return false; }
    virtual void SetShowAnnotation(bool /*show*/) {}
    virtual bool LinkAt(Zorlin::CString& /*url*/, Zorlin::CString& /*text*/) { return false; }
    virtual void SetInactive(bool /*inactive*/) {}

    // Which sprite stands for a piece of the game's board (by the board's
    // piece id), so the rules' piece records need no view field. A sprite
    // leaves the map when it goes back to the pool.
    virtual void SetPieceSprite(int /*pieceId*/, CBoardSprite* /*sprite*/) {}
    virtual CBoardSprite* GetPieceSprite(int /*pieceId*/) { return nullptr; }
};
