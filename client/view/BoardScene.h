#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "client/view/BoardGeometry.h"
#include "client/view/BoardRenderer.h"
#include "client/view/BoardSound.h"
#include "client/view/BoardSprite.h"
#include "client/view/GLFont.h"
#include "foundation/Config.h"

// One stroke point of an annotation pen.
struct SPenNode {
    int kind = 0; // 0 starts a stroke, 1 continues it
    float x = 0.0f;
    float y = 0.0f;
};

// One entry of the links overlay drawn in a window corner.
struct SBoardLink {
    CGLTexture image;
    Zorlin::CString url;
    Zorlin::CString text;
    float off = 0.0f;  // alpha 0-255 with the pointer away
    float over = 0.0f; // and over it
    bool top = false;
    bool left = false;
};

struct SQueuedMove {
    CBoardSprite* sprite = nullptr;
    SSquare target;
    CBoardSprite* capture = nullptr;
    int colour = 0;
    int piece = PIECE_NONE; // PIECE_NONE: keep the image
    bool started = false;
};

// The board drawn with OpenGL from a skin: pieces as pooled sprites with
// slide and fade animations, highlights, legal-move hints, coordinates,
// annotation pens, a links overlay and a skinned pointer.
class CBoardScene : public CBoardRenderer {
public:
    static constexpr int kMaxPenNodes = 1000;
    static constexpr double kQueueSpeed = 400.0;
    static constexpr double kDropBackSpeed = 1000.0;
    static constexpr float kLiftScale = 1.2f;
    static constexpr float kCaptureScale = 1.5f;
    static constexpr double kCaptureSeconds = 0.5;

    CBoardScene();
    ~CBoardScene() override;
    CBoardScene(const CBoardScene&) = delete;
    CBoardScene& operator=(const CBoardScene&) = delete;

    bool LoadSkin(Zorlin::CDrive& pack) override;
    bool CheckSkin(Zorlin::CDrive& pack) override;
    void GetSceneSize(int& width, int& height) override;
    void SetViewportSize(int width, int height) override;
    void SetPixelScale(double scale) override { m_geometry.SetPixelScale(scale); }
    void SetTime(double seconds) override { m_time = seconds; }
    void Draw(bool drawPointer) override;
    bool NeedsRedraw() override { return m_dirty; }
    void Clear() override;
    CBoardSprite* AddPiece(int colour, int piece, const SSquare& square, bool alternate) override;
    void RemovePiece(CBoardSprite* sprite) override;
    void CapturePiece(CBoardSprite* sprite) override;
    void SetPieceImage(CBoardSprite* sprite, int colour, int piece) override;
    void SetShowCursorHighlight(bool show) override { m_cursorHighlight = show; }
    void SetSquareImage(int colour, int piece, bool alternate, const SSquare& square) override;
    void ClearSquareImages() override;
    void MarkSquare(const SSquare& square, int value) override;
    void ClearMarks() override;
    bool SquareAt(float x, float y, SSquare& out) override;
    bool SetMousePosition(float x, float y) override;
    void HidePointer() override;
    void SetDraggedPiece(CBoardSprite* sprite) override;
    void MovePiece(CBoardSprite* sprite, const SSquare& square) override;
    void QueueItem(CBoardSprite* sprite, const SSquare& square, CBoardSprite* capture, int colour,
                   int piece) override;
    void SetFlipped(bool flipped) override { m_geometry.SetFlipped(flipped); }
    bool IsFlipped() override { return m_geometry.IsFlipped(); }
    void SetShowCoordinates(bool show) override { m_showCoordinates = show; }
    void SetShowLinks(bool show) override { m_showLinks = show; }
    SScenePoint WindowToBoard(double x, double y) override { return m_geometry.WindowToBoard(x, y); }
    SScenePoint PixelsToBoard(const SScenePoint& p) override { return m_geometry.PixelsToBoard(p); }
    SScenePoint BoardToPixels(const SScenePoint& p) override { return m_geometry.BoardToPixels(p); }
    void SetPenColour(int pen, Zorlin::CColour colour) override;
    void PenMoveTo(int pen, float x, float y) override { AddPenNode(pen, 0, x, y); }
    void PenLineTo(int pen, float x, float y) override { AddPenNode(pen, 1, x, y); }
    void ClearPen(int pen) override;
    void ClientToScene(int x, int y, float& sx, float& sy) override;
    void SetGameValue(int value) override { m_gameValue = value; }
    bool GrabImage(Zorlin::CImage& out) override;
    void SetShowAnnotation(bool show) override { m_showAnnotation = show; }
    bool LinkAt(Zorlin::CString& url, Zorlin::CString& text) override;
    void SetInactive(bool inactive) override;
    void SetPieceSprite(int pieceId, CBoardSprite* sprite) override;
    CBoardSprite* GetPieceSprite(int pieceId) override;

    // Called each time a captured piece has faded out and gone.
    void SetPanelRefresh(std::function<void()> refresh) { m_panelRefresh = std::move(refresh); }

    // What the canvas and the tests may read.
    bool HasSkin() const;
    const CBoardGeometry& GetGeometry() const { return m_geometry; }
    Zorlin::CConfig& GetSkinConfig() { return m_config; }
    bool IsDepthSorted() const { return m_depthSort; }
    bool HasDualPieces() const { return m_dualPieces; }
    int GetActiveCount() const { return m_activeCount; }
    int GetFreeCount() const { return m_freeCount; }
    int GetPoolSize() const { return int(m_blocks.size()) * kBlockSize; }
    void GetActiveSprites(std::vector<CBoardSprite*>& out) const;
    const std::vector<CBoardSprite*>& GetCaptured() const { return m_captured; }
    const std::deque<SQueuedMove>& GetQueue() const { return m_queue; }
    const std::deque<SPenNode>& GetPenNodes(int pen) const { return m_pens[pen & 1].nodes; }
    Zorlin::CColour GetPenColour(int pen) const { return m_pens[pen & 1].colour; }
    int GetMark(const SSquare& square) const;
    bool IsSquareImageShown(const SSquare& square) const;
    bool IsDragging() const { return m_dragging; }
    CBoardSprite* GetDraggedPiece() const { return m_dragged; }
    const CBoardSprite& GetDragCopy() const { return m_dragCopy; }
    int GetLinkCount() const { return int(m_links.size()); }
    const SBoardLink& GetLink(int i) const { return *m_links[size_t(i)]; }
    const SSkinImage& GetPieceImage(int colour, int piece, bool alternate) const;
    bool HasSound(bool capture) const { return capture ? bool(m_captureSound) : bool(m_dropSound); }
    const CGLFont& GetFont() const { return m_font; }
    int GetGameValue() const { return m_gameValue; }

private:
    static constexpr int kBlockSize = 32;

    struct SPen {
        std::deque<SPenNode> nodes;
        Zorlin::CColour colour{255, 0, 0, 255};
    };

    // Skin loading.
    void ReleaseSkin();
    bool ReadSkin(Zorlin::CDrive& pack);
    bool LoadImageFiles(Zorlin::CDrive& pack, const Zorlin::CString& image,
                        const Zorlin::CString& alpha, CGLTexture& texture);
    bool LoadSkinImage(Zorlin::CDrive& pack, const char* key, SSkinImage& image);
    void LoadFont(Zorlin::CDrive& pack);
    void LoadLinks(Zorlin::CDrive& pack);
    void LoadSounds(Zorlin::CDrive& pack);
    double ReadNumber(const char* key);
    int ReadWhole(const char* key);
    bool ReadFlag(const char* key);

    // The pool and the active list.
    CBoardSprite* TakeSprite();
    void Unlink(CBoardSprite* sprite);
    void LinkAtTail(CBoardSprite* sprite);
    void LinkAtHead(CBoardSprite* sprite);
    void FreeSprite(CBoardSprite* sprite);
    bool IsActive(const CBoardSprite* sprite) const;
    void ForgetSprite(CBoardSprite* sprite);
    void EndDrag();
    const SSkinImage* FindPieceImage(int colour, int piece, bool alternate) const;
    void StartQueueHead();
    void PlaySound(bool capture);

    // Drawing.
    void DrawBackground();
    void SetWindowProjection();
    void SetSceneProjection();
    void DrawCoordinates();
    void DrawImageAt(const SSkinImage& image, const SScenePoint& at, int alpha);
    void DrawPieces(bool render);
    void ServeQueue();
    void FreeFadedCaptures();
    void DrawHints();
    void DrawPen(const SPen& pen);
    void DrawLinks();
    void DrawPointer(bool drawPointer, bool render);
    bool HitLink(const SBoardLink& link) const;
    void AddPenNode(int pen, int kind, float x, float y);
    static int Index(const SSquare& square) { return square.x * 8 + square.y; }

    Zorlin::CConfig m_config;
    SSkinImage m_pieces[12];
    SSkinImage m_alternates[12];
    SSkinImage m_boardImage;
    CBoardSprite m_board;
    SSkinImage m_highlights[3]; // cursor, move, capture
    CBoardGeometry m_geometry;

    std::vector<std::unique_ptr<CBoardSprite[]>> m_blocks;
    CBoardSprite* m_free = nullptr;
    int m_freeCount = 0;
    CBoardSprite* m_head = nullptr;
    CBoardSprite* m_tail = nullptr;
    int m_activeCount = 0;

    CBoardSprite* m_dragged = nullptr;
    bool m_dragging = false;
    CBoardSprite m_dragCopy;
    float m_dragOffsetX = 0.0f;
    float m_dragOffsetY = 0.0f;

    SSkinImage m_pointImage;
    SSkinImage m_gripImage;
    CBoardSprite m_point;
    CBoardSprite m_grip;
    SSkinImage m_background;

    CBoardSprite m_squares[64];
    int m_marks[64] = {};
    std::vector<CBoardSprite*> m_captured;
    std::deque<SQueuedMove> m_queue;
    std::vector<CBoardSprite*> m_drawList;
    SPen m_pens[2];
    std::vector<std::unique_ptr<SBoardLink>> m_links;

    CGLFont m_font;
    float m_rowX = 0.0f;
    float m_rowY = 0.0f;
    float m_colX = 0.0f;
    float m_colY = 0.0f;
    std::unique_ptr<CBoardSound> m_dropSound;
    std::unique_ptr<CBoardSound> m_captureSound;

    double m_time = 0.0;
    int m_mouseX = -1000;
    int m_mouseY = -1000;
    std::function<void()> m_panelRefresh;
    std::unordered_map<int, CBoardSprite*> m_pieceSprites;

    bool m_depthSort = false;
    bool m_checkOnly = false; // ReadSkin decodes the pictures without making textures
    bool m_dualPieces = false;
    bool m_cursorHighlight = true;
    bool m_showLinks = true;
    bool m_showCoordinates = false;
    bool m_showAnnotation = false;
    bool m_pointerAway = false;
    bool m_inactive = false;
    bool m_dirty = false;
    int m_gameValue = 0;
};
