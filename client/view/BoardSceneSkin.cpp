#include <cstdlib>

#include "client/view/BoardScene.h"
#include "client/view/SkinName.h"
#include "foundation/BufferedInputFile.h"
#include "foundation/Drive.h"

using Zorlin::CAutoPointer;
using Zorlin::CBufferedInputFile;
using Zorlin::CDrive;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

const char* const kColourNames[2] = {"White", "Black"};
const char* const kPieceNames[6] = {"Pawn", "Rook", "Knight", "Bishop", "Queen", "King"};
const char* const kHighlightNames[3] = {"Highlights.Cursor", "Highlights.Move", "Highlights.Capture"};
const char kGraphicsFolder[] = "graphics";
const char kSoundsFolder[] = "Sounds";
const unsigned kImageMode = CFile::kModeRead | CFile::kModeSequential;

CAutoPointer<CFile> OpenInPack(CDrive& pack, const CString& name, unsigned mode)
{
    if (!IsPackageFileName(name))
        return CAutoPointer<CFile>();
    CAutoPointer<CFile> file = pack.OpenFile(name, mode);
    if (file && (file->IsNull() || !file->IsOpen()))
        file.Reset();
    return file;
}

// Enters a folder of the pack and always comes back out.
class CFolderVisit {
public:
    CFolderVisit(CDrive& pack, const char* folder) : m_pack(pack)
    {
        m_pack.PushDirectory();
        m_entered = m_pack.ChangeDirectory(folder);
    }
    ~CFolderVisit() { m_pack.PopDirectory(); }
    bool IsInside() const { return m_entered; }

private:
    CDrive& m_pack;
    bool m_entered;
};

} // namespace

double CBoardScene::ReadNumber(const char* key) { return std::atof(m_config.GetValueOr(key, "").GetText()); }
int CBoardScene::ReadWhole(const char* key) { return std::atoi(m_config.GetValueOr(key, "").GetText()); }
bool CBoardScene::ReadFlag(const char* key) { return Zorlin::CConfig::IsTrue(m_config.GetValueOr(key, "")); }

void CBoardScene::ReleaseSkin()
{
    for (int i = 0; i < 12; ++i) {
        m_pieces[i].texture.Release();
        m_alternates[i].texture.Release();
    }
    for (SSkinImage& image : m_highlights)
        image.texture.Release();
    m_boardImage.texture.Release();
    m_pointImage.texture.Release();
    m_gripImage.texture.Release();
    m_background.texture.Release();
    m_font.Release();
    m_links.clear();
    m_dropSound.reset();
    m_captureSound.reset();
    m_config = Zorlin::CConfig();
    m_depthSort = false;
    m_dualPieces = false;
    m_rowX = m_rowY = m_colX = m_colY = 0.0f;
    m_geometry.SetBoard(0, 0, 0.0, 0.0, 0.0, 0.0, 0);
}

bool CBoardScene::LoadSkin(CDrive& pack)
{
    // A second skin must not inherit the first one's settings, links or
    // images; pieces are rebuilt by the caller from the position.
    Clear();
    ClearSquareImages();
    ReleaseSkin();
    if (!ReadSkin(pack)) {
        // A refused skin draws nothing rather than half a board.
        ReleaseSkin();
        return false;
    }
    m_dirty = true;
    return true;
}

bool CBoardScene::CheckSkin(CDrive& pack)
{
    Clear();
    ClearSquareImages();
    ReleaseSkin();
    m_checkOnly = true;
    const bool readable = ReadSkin(pack);
    m_checkOnly = false;
    ReleaseSkin();
    return readable;
}

bool CBoardScene::ReadSkin(CDrive& pack)
{
    {
        CAutoPointer<CFile> info = OpenInPack(pack, "info.cfg", CFile::kModeRead);
        if (!info || !m_config.ReadSmall(*info))
            return false;
    }
    m_depthSort = ReadFlag("info.depth");
    m_dualPieces = ReadFlag("info.dualpieces");

    const double top = ReadNumber("Board.TopLeft.Y");
    const double left = ReadNumber("Board.TopLeft.X");
    const double bottom = ReadNumber("Board.BottomRight.Y");
    const double right = ReadNumber("Board.BottomRight.X");
    const int border = ReadWhole("Board.border");
    // Without a rectangle there are no squares to place pieces on or hit.
    if (!(right > left) || !(bottom > top))
        return false;

    if (!LoadImageFiles(pack, m_config.GetValueOr("Board.Image", ""), CString(), m_boardImage.texture))
        return false;
    m_geometry.SetBoard(int(m_boardImage.texture.GetWidth()), int(m_boardImage.texture.GetHeight()),
                        left, top, right, bottom, border);
    m_boardImage.anchorX = m_geometry.GetAnchorX();
    m_boardImage.anchorY = m_geometry.GetAnchorY();
    m_board.Reset();
    m_board.SetImage(m_boardImage);
    m_board.m_blend = 0;

    if (!LoadSkinImage(pack, "Mouse.Point", m_pointImage) || !LoadSkinImage(pack, "Mouse.Grip", m_gripImage))
        return false;
    for (CBoardSprite* pointer : {&m_point, &m_grip}) {
        pointer->Reset();
        pointer->m_blend = 1;
    }
    m_point.SetImage(m_pointImage);
    m_grip.SetImage(m_gripImage);

    LoadImageFiles(pack, m_config.GetValueOr("Background.Image", ""), CString(), m_background.texture);

    for (int i = 0; i < 3; ++i)
        if (!LoadSkinImage(pack, kHighlightNames[i], m_highlights[i]))
            return false;

    for (int colour = 0; colour < 2; ++colour) {
        for (int piece = 0; piece < 6; ++piece) {
            CString key("Pieces.");
            key += kColourNames[colour];
            key += ".";
            key += kPieceNames[piece];
            if (!LoadSkinImage(pack, key.GetText(), m_pieces[colour * 6 + piece]))
                return false;
        }
    }
    if (m_dualPieces) {
        for (int colour = 0; colour < 2; ++colour) {
            for (int piece = PIECE_ROOK; piece <= PIECE_BISHOP; ++piece) {
                CString key("Pieces.");
                key += kColourNames[colour];
                key += ".";
                key += kPieceNames[piece];
                key += "2";
                if (!LoadSkinImage(pack, key.GetText(), m_alternates[colour * 6 + piece]))
                    return false;
            }
        }
    }

    m_config.PushPrefix("Coordinates");
    m_rowY = float(ReadNumber("Row.Y"));
    m_rowX = float(ReadNumber("Row.X"));
    m_colY = float(ReadNumber("Col.Y"));
    m_colX = float(ReadNumber("Col.X"));
    m_config.PopPrefix();
    LoadFont(pack);

    m_geometry.SetFlipped(false);
    EndDrag();

    LoadLinks(pack);
    LoadSounds(pack);
    ClearSquareImages();
    return true;
}

bool CBoardScene::LoadImageFiles(CDrive& pack, const CString& image, const CString& alpha,
                                 CGLTexture& texture)
{
    texture.Release();
    CFolderVisit graphics(pack, kGraphicsFolder);
    if (!graphics.IsInside())
        return false;
    CAutoPointer<CFile> imageFile = OpenInPack(pack, image, kImageMode);
    if (!imageFile)
        return false;
    CAutoPointer<CFile> alphaFile;
    if (!alpha.IsEmpty()) {
        alphaFile = OpenInPack(pack, alpha, kImageMode);
        if (!alphaFile)
            return false;
    }
    CBufferedInputFile imageInput(imageFile.Get(), 16384, 2);
    if (!alphaFile)
        return m_checkOnly ? CGLTexture::CanLoad(imageInput, CGLTexture::KIND_RGB, nullptr)
                           : texture.Load(imageInput, CGLTexture::KIND_RGB, nullptr);
    CBufferedInputFile alphaInput(alphaFile.Get(), 16384, 2);
    return m_checkOnly ? CGLTexture::CanLoad(imageInput, CGLTexture::KIND_RGBA, &alphaInput)
                       : texture.Load(imageInput, CGLTexture::KIND_RGBA, &alphaInput);
}

bool CBoardScene::LoadSkinImage(CDrive& pack, const char* key, SSkinImage& image)
{
    m_config.PushPrefix(key);
    const bool loaded = LoadImageFiles(pack, m_config.GetValueOr("Image", ""),
                                       m_config.GetValueOr("Alpha", ""), image.texture);
    image.anchorX = ReadNumber("X");
    image.anchorY = ReadNumber("Y");
    m_config.PopPrefix();
    return loaded;
}

void CBoardScene::LoadFont(CDrive& pack)
{
    // The glyphs are a texture of their own; a skin reads without them.
    if (m_checkOnly || !m_config.FrameExists("Coordinates.Glyphs"))
        return;
    m_config.PushPrefix("Coordinates.Glyphs");
    {
        CFolderVisit graphics(pack, kGraphicsFolder);
        if (graphics.IsInside())
            m_font.Load(pack, m_config);
    }
    m_config.PopPrefix();
}

void CBoardScene::LoadLinks(CDrive& pack)
{
    if (!m_config.FrameExists("Links"))
        return;
    m_config.PushPrefix("Links");
    Zorlin::CArray<CString> children;
    m_config.ListFrame(children);
    for (int i = 0; i < children.GetCount(); ++i) {
        const CString& name = *children.GetAt(i);
        if (!m_config.FrameExists(name))
            continue;
        m_config.PushPrefix(name);
        std::unique_ptr<SBoardLink> link(new SBoardLink);
        LoadImageFiles(pack, m_config.GetValueOr("image", ""), m_config.GetValueOr("alpha", ""), link->image);
        link->url = m_config.GetValueOr("url", "");
        link->text = m_config.GetValueOr("text", "");
        CString vertical = m_config.GetValueOr("yposition", "");
        CString horizontal = m_config.GetValueOr("xposition", "");
        vertical.Trim();
        horizontal.Trim();
        link->top = Zorlin::KeysEqualNoCase(vertical, "top");
        link->left = Zorlin::KeysEqualNoCase(horizontal, "left");
        link->off = float(ReadWhole("off"));
        link->over = float(ReadWhole("over"));
        m_links.push_back(std::move(link));
        m_config.PopPrefix();
    }
    m_config.PopPrefix();
}

void CBoardScene::LoadSounds(CDrive& pack)
{
    if (m_checkOnly)
        return;
    const CString dropName = m_config.GetValueOr("Sounds.Drop", "");
    const CString captureName = m_config.GetValueOr("Sounds.Capture", "");
    CFolderVisit sounds(pack, kSoundsFolder);
    if (!sounds.IsInside())
        return;
    struct SSlot {
        const CString& name;
        std::unique_ptr<CBoardSound>& sample;
    } slots[2] = {{dropName, m_dropSound}, {captureName, m_captureSound}};
    for (SSlot& slot : slots) {
        CAutoPointer<CFile> file = OpenInPack(pack, slot.name, CFile::kModeRead);
        if (!file)
            continue;
        std::unique_ptr<CBoardSound> sample = MakeBoardSound();
        if (sample && sample->Load(*file))
            slot.sample = std::move(sample);
    }
}
