#include "client/view/BoardScene.h"

#include <algorithm>
#include <cmath>

using Zorlin::CColour;

namespace {
bool IsPieceIndex(int colour, int piece)
{
    return (colour == WHITE || colour == BLACK) && piece >= PIECE_PAWN && piece <= PIECE_KING;
}
} // namespace

CBoardScene::CBoardScene()
{
    for (CBoardSprite& square : m_squares)
        square.m_visible = false;
    m_dragCopy.m_visible = false;
}

CBoardScene::~CBoardScene()
{
    Clear();
    ReleaseSkin();
}

void CBoardScene::GetSceneSize(int& width, int& height)
{
    width = m_geometry.GetImageWidth();
    height = m_geometry.GetImageHeight();
}

void CBoardScene::SetViewportSize(int width, int height) { m_geometry.SetViewport(width, height); }

bool CBoardScene::HasSkin() const { return m_boardImage.texture.IsLoaded() && m_geometry.HasSquares(); }

// ---------------------------------------------------------------- the pool

CBoardSprite* CBoardScene::TakeSprite()
{
    if (!m_free) {
        std::unique_ptr<CBoardSprite[]> block(new CBoardSprite[kBlockSize]);
        for (int i = kBlockSize - 1; i >= 0; --i) {
            block[i].m_next = m_free;
            m_free = &block[i];
        }
        m_freeCount += kBlockSize;
        m_blocks.push_back(std::move(block));
    }
    CBoardSprite* sprite = m_free;
    m_free = sprite->m_next;
    --m_freeCount;
    sprite->m_next = sprite->m_previous = nullptr;
    sprite->Reset();
    return sprite;
}

void CBoardScene::Unlink(CBoardSprite* sprite)
{
    if (sprite->m_previous)
        sprite->m_previous->m_next = sprite->m_next;
    else
        m_head = sprite->m_next;
    if (sprite->m_next)
        sprite->m_next->m_previous = sprite->m_previous;
    else
        m_tail = sprite->m_previous;
    sprite->m_next = sprite->m_previous = nullptr;
    --m_activeCount;
}

void CBoardScene::LinkAtTail(CBoardSprite* sprite)
{
    sprite->m_next = nullptr;
    sprite->m_previous = m_tail;
    if (m_tail)
        m_tail->m_next = sprite;
    else
        m_head = sprite;
    m_tail = sprite;
    ++m_activeCount;
}

void CBoardScene::LinkAtHead(CBoardSprite* sprite)
{
    sprite->m_previous = nullptr;
    sprite->m_next = m_head;
    if (m_head)
        m_head->m_previous = sprite;
    else
        m_tail = sprite;
    m_head = sprite;
    ++m_activeCount;
}

bool CBoardScene::IsActive(const CBoardSprite* sprite) const
{
    for (const CBoardSprite* s = m_head; s; s = s->m_next)
        if (s == sprite)
            return true;
    return false;
}

// Drops every reference to a sprite that is leaving the active list, so the
// captured list, the queue, the drag and the piece map only ever point at
// active sprites.
void CBoardScene::ForgetSprite(CBoardSprite* sprite)
{
    m_captured.erase(std::remove(m_captured.begin(), m_captured.end(), sprite), m_captured.end());
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        if (it->capture == sprite)
            it->capture = nullptr;
        if (it->sprite == sprite)
            it = m_queue.erase(it);
        else
            ++it;
    }
    if (m_dragged == sprite)
        EndDrag();
    for (auto it = m_pieceSprites.begin(); it != m_pieceSprites.end();) {
        if (it->second == sprite)
            it = m_pieceSprites.erase(it);
        else
            ++it;
    }
}

void CBoardScene::FreeSprite(CBoardSprite* sprite)
{
    ForgetSprite(sprite);
    Unlink(sprite);
    sprite->m_next = m_free;
    m_free = sprite;
    ++m_freeCount;
}

void CBoardScene::GetActiveSprites(std::vector<CBoardSprite*>& out) const
{
    out.clear();
    for (CBoardSprite* s = m_head; s; s = s->m_next)
        out.push_back(s);
}

void CBoardScene::EndDrag()
{
    m_dragging = false;
    m_dragged = nullptr;
    m_dragCopy.m_visible = false;
}

void CBoardScene::Clear()
{
    EndDrag();
    while (m_head) {
        CBoardSprite* sprite = m_head;
        Unlink(sprite);
        sprite->m_next = m_free;
        m_free = sprite;
        ++m_freeCount;
    }
    m_queue.clear();
    m_captured.clear();
    m_pieceSprites.clear();
}

// ---------------------------------------------------------------- pieces

const SSkinImage* CBoardScene::FindPieceImage(int colour, int piece, bool alternate) const
{
    if (!IsPieceIndex(colour, piece))
        return nullptr;
    // Only rook, knight and bishop have alternates, and only in dual skins.
    const bool dual = alternate && m_dualPieces &&
                      (piece == PIECE_ROOK || piece == PIECE_KNIGHT || piece == PIECE_BISHOP);
    const int i = colour * 6 + piece;
    return dual ? &m_alternates[i] : &m_pieces[i];
}

const SSkinImage& CBoardScene::GetPieceImage(int colour, int piece, bool alternate) const
{
    static const SSkinImage none;
    const SSkinImage* image = FindPieceImage(colour, piece, alternate);
    return image ? *image : none;
}

CBoardSprite* CBoardScene::AddPiece(int colour, int piece, const SSquare& square, bool alternate)
{
    const SSkinImage* image = FindPieceImage(colour, piece, alternate);
    if (!image || !square.IsOnBoard())
        return nullptr;
    CBoardSprite* sprite = TakeSprite();
    LinkAtTail(sprite);
    sprite->SetImage(*image);
    sprite->m_blend = 1;
    const SScenePoint at = m_geometry.SquareCentre(square);
    sprite->m_x = float(at.x);
    sprite->m_y = float(at.y);
    m_dirty = true;
    return sprite;
}

void CBoardScene::RemovePiece(CBoardSprite* sprite)
{
    if (!sprite || !IsActive(sprite))
        return;
    FreeSprite(sprite);
    m_dirty = true;
    PlaySound(true);
}

void CBoardScene::CapturePiece(CBoardSprite* sprite)
{
    if (!sprite || !IsActive(sprite))
        return;
    if (std::find(m_captured.begin(), m_captured.end(), sprite) != m_captured.end())
        return;
    // A captured piece no longer moves: drop it from the queue and the drag.
    for (auto it = m_queue.begin(); it != m_queue.end();)
        it = it->sprite == sprite ? m_queue.erase(it) : it + 1;
    if (m_dragged == sprite)
        EndDrag();
    m_captured.push_back(sprite);
    sprite->m_order = -1;
    sprite->m_visible = true;
    sprite->FinishAnimation();
    sprite->FadeTo(m_time, kCaptureScale, 0.0f, kCaptureSeconds);
    Unlink(sprite);
    LinkAtHead(sprite);
    m_dirty = true;
    PlaySound(true);
}

void CBoardScene::SetPieceImage(CBoardSprite* sprite, int colour, int piece)
{
    const SSkinImage* image = FindPieceImage(colour, piece, false);
    if (!sprite || !image)
        return;
    sprite->SetImage(*image);
    m_dirty = true;
}

void CBoardScene::SetPieceSprite(int pieceId, CBoardSprite* sprite)
{
    if (sprite && IsActive(sprite))
        m_pieceSprites[pieceId] = sprite;
    else
        m_pieceSprites.erase(pieceId);
}

CBoardSprite* CBoardScene::GetPieceSprite(int pieceId)
{
    auto it = m_pieceSprites.find(pieceId);
    return it == m_pieceSprites.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------- squares

void CBoardScene::SetSquareImage(int colour, int piece, bool alternate, const SSquare& square)
{
    const SSkinImage* image = FindPieceImage(colour, piece, alternate);
    if (!image || !square.IsOnBoard())
        return;
    CBoardSprite& sprite = m_squares[Index(square)];
    sprite.SetImage(*image);
    const SScenePoint at = m_geometry.SquareCentre(square);
    sprite.m_x = float(at.x);
    sprite.m_y = float(at.y);
    sprite.m_blend = 1;
    sprite.m_colour = CColour(255, 255, 255, 92);
    sprite.m_alpha = 92.0f / 255.0f;
    sprite.m_visible = true;
    m_dirty = true;
}

void CBoardScene::ClearSquareImages()
{
    for (CBoardSprite& square : m_squares)
        square.m_visible = false;
    m_dirty = true;
}

bool CBoardScene::IsSquareImageShown(const SSquare& square) const
{
    return square.IsOnBoard() && m_squares[Index(square)].m_visible;
}

void CBoardScene::MarkSquare(const SSquare& square, int value)
{
    if (!square.IsOnBoard())
        return;
    m_marks[Index(square)] = value;
    m_dirty = true;
}

void CBoardScene::ClearMarks()
{
    std::fill(std::begin(m_marks), std::end(m_marks), 0);
    m_dirty = true;
}

int CBoardScene::GetMark(const SSquare& square) const
{
    return square.IsOnBoard() ? m_marks[Index(square)] : 0;
}

// ---------------------------------------------------------------- pointer and drag

bool CBoardScene::SquareAt(float x, float y, SSquare& out)
{
    double px = x;
    double py = y;
    if (m_dragging) {
        px -= m_dragOffsetX * m_geometry.GetZoom();
        py -= m_dragOffsetY * m_geometry.GetZoom();
    }
    return m_geometry.SquareAt(px, py, out);
}

bool CBoardScene::SetMousePosition(float x, float y)
{
    m_mouseX = int(std::lround(x));
    m_mouseY = int(std::lround(y));
    m_point.m_colour = CColour(255, 255, 255, 255);
    m_point.m_alpha = 1.0f;
    m_pointerAway = false;
    return true;
}

void CBoardScene::HidePointer()
{
    Draw(false);
    m_pointerAway = true;
}

void CBoardScene::ClientToScene(int x, int y, float& sx, float& sy)
{
    const SScenePoint p = m_geometry.WindowToBoard(x, y);
    sx = float(p.x);
    sy = float(p.y);
}

void CBoardScene::SetDraggedPiece(CBoardSprite* sprite)
{
    if (sprite && IsActive(sprite)) {
        if (m_dragged && m_dragged != sprite)
            m_dragged->m_visible = true;
        sprite->FinishAnimation();
        m_dragCopy.CopyFrom(*sprite);
        m_dragCopy.m_order = 1;
        m_dragCopy.m_scaleX = m_dragCopy.m_scaleY = kLiftScale;
        m_dragCopy.m_visible = true;
        sprite->m_visible = false;
        const SScenePoint pointer = m_geometry.WindowToBoard(m_mouseX, m_mouseY);
        m_dragOffsetX = float(pointer.x - sprite->m_x);
        m_dragOffsetY = float(pointer.y - sprite->m_y);
        m_dragged = sprite;
        m_dragging = true;
        m_dirty = true;
        return;
    }
    if (sprite)
        return;
    if (!m_dragged) {
        m_dragging = false;
        return;
    }
    // Give the piece back: it slides from where it is held to its place.
    CBoardSprite* dropped = m_dragged;
    const float homeX = dropped->m_x;
    const float homeY = dropped->m_y;
    dropped->m_x = m_dragCopy.m_x;
    dropped->m_y = m_dragCopy.m_y;
    dropped->m_scaleX = dropped->m_scaleY = kLiftScale;
    dropped->SlideTo(m_time, homeX, homeY, 1.0f, kDropBackSpeed);
    dropped->m_visible = true;
    Unlink(dropped);
    LinkAtTail(dropped);
    EndDrag();
    m_dirty = true;
}

void CBoardScene::MovePiece(CBoardSprite* sprite, const SSquare& square)
{
    if (!sprite || !IsActive(sprite) || !square.IsOnBoard())
        return;
    sprite->FinishAnimation();
    const SScenePoint at = m_geometry.SquareCentre(square);
    sprite->m_x = float(at.x);
    sprite->m_y = float(at.y);
    sprite->m_scaleX = sprite->m_scaleY = 1.0f;
    sprite->m_order = 0;
    sprite->m_visible = true;
    EndDrag();
    m_dirty = true;
    PlaySound(false);
}

// ---------------------------------------------------------------- the move queue

void CBoardScene::QueueItem(CBoardSprite* sprite, const SSquare& square, CBoardSprite* capture,
                            int colour, int piece)
{
    if (!sprite || !IsActive(sprite) || !square.IsOnBoard())
        return;
    SQueuedMove item;
    item.sprite = sprite;
    item.target = square;
    item.capture = capture && capture != sprite && IsActive(capture) ? capture : nullptr;
    item.colour = colour;
    item.piece = piece;
    m_queue.push_back(item);
    if (m_queue.size() == 1)
        StartQueueHead();
    m_dirty = true;
}

void CBoardScene::StartQueueHead()
{
    if (m_queue.empty() || m_queue.front().started)
        return;
    SQueuedMove& item = m_queue.front();
    item.started = true;
    const SScenePoint at = m_geometry.SquareCentre(item.target);
    if (m_dragged == item.sprite)
        EndDrag();
    item.sprite->m_visible = true;
    item.sprite->m_order = 0;
    item.sprite->SlideTo(m_time, float(at.x), float(at.y), 1.0f, kQueueSpeed);
    Unlink(item.sprite);
    LinkAtTail(item.sprite);
}

// An item is done when its sprite has arrived; the next one starts then, so
// a castling or a capture shows as successive movements.
void CBoardScene::ServeQueue()
{
    if (m_queue.empty())
        return;
    m_dirty = true;
    if (!m_queue.front().started) {
        // The item before it left the queue early (its piece was taken).
        StartQueueHead();
        return;
    }
    if (m_queue.front().sprite->IsAnimating())
        return;
    const SQueuedMove item = m_queue.front();
    m_queue.pop_front();
    if (item.capture)
        CapturePiece(item.capture);
    if (item.piece != PIECE_NONE)
        SetPieceImage(item.sprite, item.colour, item.piece);
    StartQueueHead();
}

void CBoardScene::FreeFadedCaptures()
{
    for (size_t i = 0; i < m_captured.size();) {
        CBoardSprite* sprite = m_captured[i];
        if (sprite->IsAnimating()) {
            ++i;
            continue;
        }
        FreeSprite(sprite); // also removes it from the captured list
        if (m_panelRefresh)
            m_panelRefresh();
    }
}

void CBoardScene::PlaySound(bool capture)
{
    CBoardSound* sound = capture ? m_captureSound.get() : m_dropSound.get();
    if (sound)
        sound->Play(capture ? 1 : 0);
}

// ---------------------------------------------------------------- pens

void CBoardScene::SetPenColour(int pen, CColour colour) { m_pens[pen & 1].colour = colour; }

void CBoardScene::AddPenNode(int pen, int kind, float x, float y)
{
    if (pen != 0 && pen != 1)
        return;
    SPen& p = m_pens[pen];
    if (int(p.nodes.size()) >= kMaxPenNodes)
        p.nodes.pop_front();
    const float sign = m_geometry.IsFlipped() ? -1.0f : 1.0f;
    SPenNode node;
    node.kind = kind;
    node.x = sign * x;
    node.y = sign * y;
    p.nodes.push_back(node);
    m_dirty = true;
}

void CBoardScene::ClearPen(int pen)
{
    if (pen != 0 && pen != 1)
        return;
    m_pens[pen].nodes.clear();
    m_dirty = true;
}

// ---------------------------------------------------------------- links and state

bool CBoardScene::HitLink(const SBoardLink& link) const
{
    const double width = link.image.GetWidth() * m_geometry.GetPixelScale();
    const double height = link.image.GetHeight() * m_geometry.GetPixelScale();
    const double x = link.left ? 0.0 : m_geometry.GetViewportWidth() - width;
    const double y = link.top ? 0.0 : m_geometry.GetViewportHeight() - height;
    return m_mouseX >= x && m_mouseX <= x + width && m_mouseY >= y && m_mouseY <= y + height;
}

bool CBoardScene::LinkAt(Zorlin::CString& url, Zorlin::CString& text)
{
    url = "";
    text = "";
    if (!m_showLinks)
        return false;
    for (const auto& link : m_links) {
        if (link->image.IsLoaded() && HitLink(*link)) {
            url = link->url;
            text = link->text;
            return true;
        }
    }
    return false;
}

void CBoardScene::SetInactive(bool inactive)
{
    m_inactive = inactive;
    CGLTexture::SetDimmed(inactive);
    m_dirty = true;
}
