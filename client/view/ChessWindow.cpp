// The board canvas: construction, the scene and its options, attaching a
// game, and rebuilding the scene from a position.

#include "client/view/ChessWindow.h"

#include <cstdlib>
#include <dlfcn.h>

#include <wx/cursor.h>
#include <wx/dcclient.h>
#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/gdicmn.h>
#include <wx/icon.h>

#include "chess/ChessBoard.h"
#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/ClockView.h"
#include "client/core/FrameCommandRules.h"
#include "client/core/Game.h"
#include "client/core/MediaSet.h"
#include "client/core/Player.h"
#include "client/core/Prompt.h"
#include "client/view/BoardRenderer.h"
#include "client/view/BoardScene.h"
#include "client/view/ConsoleWindow.h"
#include "client/view/GLTexture.h"
#include "foundation/AutoDirectory.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/URL.h"

using Zorlin::CAutoDirectory;
using Zorlin::CConfig;
using Zorlin::CDrive;
using Zorlin::CString;

wxIMPLEMENT_ABSTRACT_CLASS(CChessWindow, wxWindow);

wxBEGIN_EVENT_TABLE(CChessWindow, wxWindow)
    EVT_PAINT(CChessWindow::OnPaint)
    EVT_ERASE_BACKGROUND(CChessWindow::OnEraseBackground)
    EVT_SIZE(CChessWindow::OnSize)
    EVT_MOTION(CChessWindow::OnMouseMove)
    EVT_LEFT_DOWN(CChessWindow::OnLeftDown)
    EVT_LEFT_UP(CChessWindow::OnLeftUp)
    EVT_MIDDLE_DOWN(CChessWindow::OnMiddleDown)
    EVT_RIGHT_DOWN(CChessWindow::OnRightDown)
    EVT_IDLE(CChessWindow::OnIdle)
    EVT_TIMER(CChessWindow::kTickTimerId, CChessWindow::OnGameTick)
    EVT_TIMER(CChessWindow::kEndOfGameTimerId, CChessWindow::OnEndOfGameTimer)
wxEND_EVENT_TABLE()

namespace {

const char* const kDefaultPack = "large wood";

// 32 bits when the display offers the format, the user has not asked for 16
// and the display has more than 16; else 16. Asked only once the board is
// first shown: the question loads the GL driver.
int ChooseDepth()
{
    static const bool has32 = wxGLCanvas::IsDisplaySupported(GetGLAttributes(32));
    CConfig& user = GetAppServices().GetUserSettings();
    bool force16 = CConfig::IsTrue(user.GetValueOr(".preferences.graphics.16bit", ""));
    return has32 && !force16 && wxDisplayDepth() > 16 ? 32 : 16;
}

const int* ChooseAttributes()
{
    return GetGLAttributes(ChooseDepth());
}

void SetTextureOptions()
{
    SGLTextureOptions options;
    CChessApp* app = GetChessApp();
    CConfig& user = GetAppServices().GetUserSettings();
    options.pixelFormat32 = ChooseDepth() == 32;
    options.force16Bit = app ? app->m_16BitColour : CConfig::IsTrue(user.GetValueOr(".preferences.graphics.16bit", ""));
    options.smallTextures =
        app ? app->m_smallTextures : CConfig::IsTrue(user.GetValueOr(".preferences.graphics.small textures", ""));
    options.disableFiltering =
        app ? app->m_noFiltering : CConfig::IsTrue(user.GetValueOr(".preferences.graphics.DisableFiltering", ""));
    options.displayBits = wxDisplayDepth();
    CGLTexture::SetOptions(options);
}

// Reads a pack of boards/ into the scene; checkOnly reads and decodes it
// all without making textures.
bool LoadPack(CBoardRenderer& scene, CDrive& drive, const CString& pack, bool checkOnly = false)
{
    // The setting names one folder below boards/, nothing else.
    if (!Zorlin::CURL::IsPlainName(pack))
        return false;
    CAutoDirectory boards(drive, "/boards/");
    if (!boards)
        return false;
    CAutoDirectory folder(drive, pack.GetText());
    return folder && (checkOnly ? scene.CheckSkin(drive) : scene.LoadSkin(drive));
}

} // namespace

CChessWindow::CChessWindow(wxWindow* parent, wxWindowID id, const wxPoint& position, const wxSize& size, long style,
                           const wxString& name)
    : wxWindow(parent, id, position, size, style | wxWANTS_CHARS, name), m_endKind(0),
      m_scene(nullptr), m_sceneWidth(0), m_sceneHeight(0), m_showSkinnedPointer(false), m_showLegalMoves(false),
      m_showLastMove(false), m_pointerInside(false), m_liftedPiece(-1), m_game(nullptr), m_redrawRequested(false),
      m_inputArmed(true), m_hoverX(-1), m_hoverY(-1), m_tickTimer(nullptr), m_endTimer(nullptr),
      m_pendingGameOver(nullptr), m_glCanvas(nullptr), m_context(nullptr), m_glFailed(false), m_firstPaintDone(false), m_exposedFrameDone(false),
      m_inactive(false), m_skinPending(false), m_callDepth(0)
{
    Construct();
}

void CChessWindow::Construct()
{
    CBoardScene* scene = new CBoardScene;
    scene->SetPanelRefresh([this] {
        if (CChessFrame* frame = GetFrame())
            frame->RefreshGamePanel();
    });
    SetScene(scene);
    SetBoardCursor(wxCursor(wxCURSOR_BLANK));

    m_tickTimer = new wxTimer(this, kTickTimerId);
    m_tickTimer->Start(kTickMilliseconds, wxTIMER_CONTINUOUS);
    m_endTimer = new wxTimer(this, kEndOfGameTimerId);

    // The canvas always holds a game; the empty one until another comes.
    m_game = new CGame;
}

bool CChessWindow::CreateGLCanvas(bool early)
{
    if (m_glCanvas || m_glFailed)
        return m_glCanvas != nullptr;
    if (!(early ? IsShown() : IsShownOnScreen()))
        return false;
    SetTextureOptions();
    m_glCanvas = new wxGLCanvas(this, wxID_ANY, ChooseAttributes(), wxPoint(0, 0), GetClientSize(),
                                wxNO_BORDER | wxWANTS_CHARS, "BoardGL");
    m_context = new wxGLContext(m_glCanvas);
    if (!m_context->IsOK()) {
        delete m_context;
        m_context = nullptr;
        m_glCanvas->Destroy();
        m_glCanvas = nullptr;
        m_glFailed = true;
        // Said after the event that found it: the paint or idle handler returns first.
        CallAfter([this] {
            GetPrompt().ShowMessage(
                "Unable to initialise OpenGL\n\nRookwell will not be able to display the board correctly.", "Problem",
                wxOK | wxICON_ERROR, GetParent());
            if (CChessApp* app = GetChessApp())
                app->ShowHelp("troubleshooting", nullptr);
        });
        Refresh();
        return false;
    }
    // The child draws; what happens on it is the board's.
    m_glCanvas->Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
        wxPaintDC dc(m_glCanvas);
        Render();
        // Drawn where the display showed the window: on screen.
        m_exposedFrameDone = m_firstPaintDone;
    });
    m_glCanvas->Bind(wxEVT_ERASE_BACKGROUND, [](wxEraseEvent&) {});
    m_glCanvas->Bind(wxEVT_MOTION, &CChessWindow::OnMouseMove, this);
    m_glCanvas->Bind(wxEVT_LEFT_DOWN, &CChessWindow::OnLeftDown, this);
    m_glCanvas->Bind(wxEVT_LEFT_UP, &CChessWindow::OnLeftUp, this);
    m_glCanvas->Bind(wxEVT_MIDDLE_DOWN, &CChessWindow::OnMiddleDown, this);
    m_glCanvas->Bind(wxEVT_RIGHT_DOWN, &CChessWindow::OnRightDown, this);
    m_glCanvas->SetCursor(GetCursor());
    // Textures need the context current, and the context a window the
    // display knows: the skin loads at the first current context.
    m_skinPending = true;
    return true;
}

bool CChessWindow::PrepareFirstFrame()
{
    if (!CreateGLCanvas(true))
        return false;
    // The frame's own windows are made as it is shown, once the toolkit has
    // asked the window manager for its borders: the first drawing of each
    // kind, the slow one (the driver builds its pipelines), is done in a
    // stand-in of the same format that is never shown. The context keeps
    // what was built, and the frame's first paint draws the board at once.
    const wxSize size = GetClientSize();
    wxFrame* standIn = new wxFrame(nullptr, wxID_ANY, "", wxDefaultPosition, size, wxFRAME_NO_TASKBAR);
    wxGLCanvas* surface = new wxGLCanvas(standIn, wxID_ANY, ChooseAttributes(), wxPoint(0, 0), size);
    // GTK makes a widget's window as it is shown; asked, it makes it now.
    // Both found in the running program, where the toolkit put them.
    using RealizeFn = void (*)(void*);
    using ReleaseFn = int (*)(void*, unsigned long, void*);
    static RealizeFn realize = RealizeFn(dlsym(RTLD_DEFAULT, "gtk_widget_realize"));
    static ReleaseFn release = ReleaseFn(dlsym(RTLD_DEFAULT, "glXMakeCurrent"));
    bool drawn = false;
    if (realize && surface->m_wxwindow) {
        realize(surface->m_wxwindow);
        if (MakeCurrent(surface) && FitSceneToWindow()) {
            m_scene->SetTime(GetSeconds());
            m_scene->Draw(m_showSkinnedPointer);
            glFinish();
            drawn = true;
        }
        // The context lets go of the stand-in before it goes.
        if (release)
            release(wxGetX11Display(), 0, nullptr);
    }
    delete standIn;
    m_redrawRequested = true;
    return drawn;
}

void CChessWindow::SetBoardCursor(const wxCursor& cursor)
{
    SetCursor(cursor);
    if (m_glCanvas)
        m_glCanvas->SetCursor(cursor);
}

void CChessWindow::OnSize(wxSizeEvent& event)
{
    event.Skip();
    if (m_glCanvas)
        m_glCanvas->SetSize(GetClientSize());
}

bool CChessWindow::MakeCurrent(wxGLCanvas* surface)
{
    if (!CreateGLCanvas())
        return false;
    wxGLCanvas* target = surface ? surface : m_glCanvas;
    if (!target->GetXWindow())
        return false;
    target->SetCurrent(*m_context);
    if (m_skinPending) {
        m_skinPending = false;
        glEnable(GL_DEPTH_TEST);
        LoadBoardSkin();
    }
    return true;
}

void CChessWindow::LoadBoardSkin()
{
    CDrive& drive = GetAppServices().GetProgramDrive();
    CAutoDirectory root(drive, "/");
    CConfig& user = GetAppServices().GetUserSettings();
    CString pack = m_chosenPack.IsEmpty() ? user.GetValueOr(".preferences.board.pack", "") : m_chosenPack;
    m_chosenPack = CString();
    if (!LoadPack(*m_scene, drive, pack)) {
        user.GetValue(".preferences.board.pack") = kDefaultPack;
        LoadPack(*m_scene, drive, kDefaultPack);
        // Said once the drawing is over: no box opens inside a paint.
        if (!pack.IsEmpty() && !Zorlin::KeysEqualNoCase(pack, CString(kDefaultPack))) {
            CString text = CString("Could not read the board \"") + pack +
                           "\": one of its pictures is missing or refused.\n\nThe standard board is shown instead.";
            CallAfter([this, text] { GetPrompt().ShowMessage(text, "Show Board", wxOK | wxICON_EXCLAMATION, GetParent()); });
        }
    }
    m_scene->GetSceneSize(m_sceneWidth, m_sceneHeight);
    // Sprites made before the skin had no pictures.
    SyncScene();
    m_redrawRequested = true;
}

bool CChessWindow::ApplyBoardSkin(const CString& pack)
{
    // Textures belong to the context, which comes when the board is first
    // shown: until then the pack is only read, and waits for it.
    if (!MakeCurrent()) {
        CBoardScene check;
        if (m_glFailed || !LoadPack(check, GetAppServices().GetProgramDrive(), pack, true))
            return false;
        m_chosenPack = pack;
        return true;
    }
    CBoardScene* scene = new CBoardScene;
    if (!LoadPack(*scene, GetAppServices().GetProgramDrive(), pack)) {
        delete scene;
        return false;
    }
    scene->SetPanelRefresh([this] {
        if (CChessFrame* frame = GetFrame())
            frame->RefreshGamePanel();
    });
    SetScene(scene);
    // A new scene knows its window only from the next drawing.
    FitSceneToWindow();
    m_scene->GetSceneSize(m_sceneWidth, m_sceneHeight);
    SyncScene();
    m_redrawRequested = true;
    return true;
}

CChessWindow::~CChessWindow()
{
    StopTimers();
    delete m_tickTimer;
    m_tickTimer = nullptr;
    delete m_endTimer;
    m_endTimer = nullptr;
    if (m_context && m_glCanvas->GetXWindow())
        m_glCanvas->SetCurrent(*m_context);
    m_callDepth = 0;
    ReleaseDoomedGames();
    if (m_game) {
        CGame* game = m_game;
        m_game = nullptr;
        game->End();
        game->Destroy();
    }
    if (CChessApp* app = GetChessApp()) {
        if (app->m_console) {
            app->m_console->Destroy();
            app->m_console = nullptr;
        }
    }
    if (m_pendingGameOver) {
        m_pendingGameOver->Destroy();
        m_pendingGameOver = nullptr;
    }
    // Textures go with the scene: the context must still be there.
    delete m_scene;
    m_scene = nullptr;
    delete m_context;
    m_context = nullptr;
}

CChessFrame* CChessWindow::GetFrame() const
{
    return dynamic_cast<CChessFrame*>(wxGetTopLevelParent(const_cast<CChessWindow*>(this)));
}

// ------------------------------------------------------------ the scene

void CChessWindow::SetScene(CBoardRenderer* scene)
{
    if (scene == m_scene)
        return;
    delete m_scene;
    m_scene = scene;
    if (!m_scene)
        return;
    // Both pens start in the user's colours: the opponent's strokes come
    // over the network and are drawn with pen 1.
    CConfig& user = GetAppServices().GetUserSettings();
    const char* const frames[] = {"preferences.pen.colour", "preferences.pen.opponent"};
    for (int pen = 0; pen < 2; ++pen) {
        SPenColour colour = ReadPenColour(user, frames[pen]);
        m_scene->SetPenColour(pen, Zorlin::CColour(uint8_t(colour.red), uint8_t(colour.green), uint8_t(colour.blue), 255));
    }
    if (CChessFrame* frame = GetFrame()) {
        m_scene->SetShowCoordinates(frame->GetShowCoordinates());
        m_scene->SetFlipped(frame->IsFlipped());
        m_scene->SetShowAnnotation(frame->IsAnnotationShown());
    }
}

void CChessWindow::SyncScene()
{
    m_hoverX = m_hoverY = -1;
    if (m_game && m_scene) {
        m_scene->SetTime(GetSeconds());
        m_scene->Clear();
        // Pieces take their places from the board's side: turn it first (a
        // skin loaded late starts unturned).
        if (CChessFrame* frame = GetFrame()) {
            m_scene->SetShowCoordinates(frame->GetShowCoordinates());
            m_showSkinnedPointer = frame->GetSkinnedCursor();
            m_scene->SetFlipped(frame->IsFlipped());
        }
        CChessBoard& board = m_game->GetBoard();
        const Zorlin::CArray<int>& ids = board.GetOnBoardIds();
        for (int i = 0; i < ids.GetCount(); ++i) {
            int id = *ids.GetAt(i);
            CPiece& piece = board.GetPiece(id);
            m_scene->SetPieceSprite(id, m_scene->AddPiece(piece.m_colour, piece.m_type, piece.GetSquare(),
                                                          piece.m_kingsSide));
        }
        m_scene->ClearMarks();
        const Zorlin::CArray<SHistoryEntry>& history = board.GetHistory();
        if (m_showLastMove && history.GetCount() > 0) {
            const CMove& last = history.GetAt(history.GetCount() - 1)->m_move;
            m_scene->MarkSquare(last.m_from, 1);
            m_scene->MarkSquare(last.m_to, 1);
        }
        m_scene->SetShowLinks(true);
    }
    m_inputArmed = true;
}

void CChessWindow::ShowPosition(const CChessBoard& board, const CMove& move)
{
    m_hoverX = m_hoverY = -1;
    if (!m_scene)
        return;
    m_scene->SetTime(GetSeconds());
    m_scene->Clear();
    m_scene->ClearMarks();
    const Zorlin::CArray<int>& ids = board.GetOnBoardIds();
    for (int i = 0; i < ids.GetCount(); ++i) {
        int id = *ids.GetAt(i);
        const CPiece& piece = board.GetPiece(id);
        m_scene->SetPieceSprite(id, m_scene->AddPiece(piece.m_colour, piece.m_type, piece.GetSquare(),
                                                      piece.m_kingsSide));
    }
    if (m_showLastMove && move.IsValid()) {
        m_scene->MarkSquare(move.m_from, 1);
        m_scene->MarkSquare(move.m_to, 1);
    }
    // A past position: no hints, no drops until the scene is rebuilt.
    m_inputArmed = false;
    SetInactive(false);
    m_redrawRequested = true;
}

// ------------------------------------------------------------ the game

void CChessWindow::ReleaseDoomedGames()
{
    if (m_callDepth > 0)
        return;
    std::vector<CGame*> doomed;
    doomed.swap(m_doomed);
    for (CGame* game : doomed) {
        if (game->IsInPlay())
            game->End();
        game->Destroy();
    }
}

void CChessWindow::ResetView(CGame* game, bool showBoard, bool quiet)
{
    if (m_endTimer && m_endTimer->IsRunning())
        m_endTimer->Stop();
    if (m_pendingGameOver) {
        m_pendingGameOver->Destroy();
        m_pendingGameOver = nullptr;
    }
    m_endKind = 0;
    m_liftedPiece = -1;
    if (m_scene)
        m_scene->SetDraggedPiece(nullptr);

    if (game && game != m_game) {
        CGame* old = m_game;
        m_game = game;
        if (old) {
            // The old game, or one of its players, may be the caller or be
            // on the stack under it (a player's poll or message, a dialog
            // it opened): it is ended and destroyed once that has unwound.
            m_doomed.push_back(old);
            if (m_callDepth == 0)
                CallAfter([this] { ReleaseDoomedGames(); });
        }
        m_lastMove = CMove();
    }

    if (CClockView* clock = CGame::GetClockView()) {
        clock->LoadReminders(-1.0);
        clock->Stop();
    }
    if (m_scene) {
        m_scene->ClearMarks();
        m_scene->ClearPen(0);
        m_scene->ClearPen(1);
        m_scene->ClearSquareImages();
    }
    SyncScene();
    CChessFrame* frame = GetFrame();
    if (showBoard && frame)
        frame->ShowBrowser(false, false);
    ResetMoveList();

    CString type = m_game ? m_game->GetSettings().GetValueOr("type", "") : CString();
    bool played = m_game && type != "Dummy" && type != "PGNGame";
    if (!quiet && played) {
        if (CChessApp* app = GetChessApp()) {
            app->LoadMedia();
            if (CMediaSet* media = app->GetMediaSet())
                media->PlayEffect(CMediaSet::kGong);
        }
    }
    bool flip = false;
    if (played) {
        CPlayer* white = m_game->GetPlayer(WHITE);
        CPlayer* black = m_game->GetPlayer(BLACK);
        bool whiteLocal = white && white->GetColour() == WHITE && white->IsLocal();
        bool blackLocal = black && black->GetColour() == BLACK && black->IsLocal();
        if (whiteLocal || blackLocal)
            flip = blackLocal;
    }
    if (frame)
        frame->SetFlipView(flip);
    else if (m_scene && m_scene->IsFlipped() != flip) {
        m_scene->SetFlipped(flip);
        SyncScene();
    }
    SetStatus(CString(), 0);
    UpdateStatus();
    SetInactive(false);
    m_redrawRequested = true;
}

void CChessWindow::SetInactive(bool inactive)
{
    m_inactive = inactive;
    if (m_scene)
        m_scene->SetInactive(inactive);
    Enable(!inactive);
    if (IsShownOnScreen() && m_context)
        Render();
}

void CChessWindow::StopTimers()
{
    if (m_tickTimer && m_tickTimer->IsRunning())
        m_tickTimer->Stop();
    if (m_endTimer && m_endTimer->IsRunning())
        m_endTimer->Stop();
}
