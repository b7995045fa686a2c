#include "scene_support.h"

#include <GL/gl.h>
#include <stdlib.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "foundation/DiskDrive.h"
#include "foundation/File.h"
#include "foundation/Win32File.h"

namespace fs = std::filesystem;

CTempFolder::CTempFolder()
{
    char pattern[] = "/tmp/view-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    m_path = made ? made : "/tmp";
}

CTempFolder::~CTempFolder()
{
    std::error_code ignored;
    if (m_path != "/tmp")
        fs::remove_all(m_path, ignored);
}

fs::path SourcePath(const std::string& relative) { return fs::path(ROOKWELL_SOURCE) / relative; }
fs::path TinySkinPath() { return SourcePath("client/view/tests/skins/tiny"); }
fs::path DefaultSkinPath() { return SourcePath("data/boards/large wood"); }

fs::path CopySkin(const CTempFolder& where, const fs::path& skin, const std::string& overrides)
{
    const fs::path target = where.Path() / skin.filename();
    fs::remove_all(target);
    fs::copy(skin, target, fs::copy_options::recursive);
    std::ifstream in(skin / "info.cfg", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::ofstream out(target / "info.cfg", std::ios::binary | std::ios::trunc);
    out << overrides << text.str();
    return target;
}

void RemoveFrame(const fs::path& file, const std::string& name)
{
    std::string text;
    {
        std::ifstream in(file, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        text = all.str();
    }
    const size_t start = text.find("\n" + name + "=");
    if (start == std::string::npos)
        return;
    size_t at = text.find('{', start);
    int depth = 0;
    for (; at < text.size(); ++at) {
        depth += text[at] == '{';
        depth -= text[at] == '}';
        if (depth == 0)
            break;
    }
    text.erase(start + 1, at + 1 - (start + 1));
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
}

bool LoadSkinFrom(CBoardScene& scene, const fs::path& folder)
{
    Zorlin::CDiskDrive drive(folder.string().c_str());
    return drive.IsValid() && scene.LoadSkin(drive);
}

void AddStartPosition(CBoardScene& scene)
{
    const int back[8] = {PIECE_ROOK, PIECE_KNIGHT, PIECE_BISHOP, PIECE_QUEEN,
                         PIECE_KING, PIECE_BISHOP, PIECE_KNIGHT, PIECE_ROOK};
    for (int x = 0; x < 8; ++x) {
        scene.AddPiece(WHITE, back[x], SSquare(x, 0), x >= 5);
        scene.AddPiece(WHITE, PIECE_PAWN, SSquare(x, 1), false);
        scene.AddPiece(BLACK, PIECE_PAWN, SSquare(x, 6), false);
        scene.AddPiece(BLACK, back[x], SSquare(x, 7), x >= 5);
    }
}

RGB ReadWindowPixel(int x, int y, int windowHeight)
{
    unsigned char p[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, windowHeight - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

void GrabWindow(int width, int height, int windowHeight, Zorlin::CImage& out)
{
    out.Create(width, height, 19);
    std::vector<unsigned char> rows(size_t(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, windowHeight - height, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    for (int y = 0; y < height; ++y)
        std::memcpy(out.GetRow(height - 1 - y), rows.data() + size_t(y) * width * 3, size_t(width) * 3);
}

void StartWindowFrame(int width, int height)
{
    glViewport(0, 0, width, height);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_SCISSOR_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

RGB ImagePixel(const Zorlin::CImage& image, int x, int y)
{
    const Zorlin::CColour c = image.GetPixel(x, y);
    return {c.GetRed(), c.GetGreen(), c.GetBlue()};
}

bool Near(const RGB& a, const RGB& b, int tolerance)
{
    for (int i = 0; i < 3; ++i)
        if (std::abs(a[i] - b[i]) > tolerance)
            return false;
    return true;
}

std::string Describe(const RGB& c)
{
    return "(" + std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]) + ")";
}

namespace {

class CRecordingSound : public CBoardSound {
public:
    explicit CRecordingSound(SSoundLog& log) : m_log(log) {}
    bool Load(Zorlin::CFile& file) override
    {
        if (!file.IsOpen() || file.GetSize() == 0)
            return false;
        m_log.loaded.push_back(std::to_string(file.GetSize()));
        return true;
    }
    void Play(int channel) override { m_log.played.push_back(channel); }

private:
    SSoundLog& m_log;
};

} // namespace

void InstallRecordingSounds(SSoundLog& log)
{
    SetBoardSoundFactory([&log]() { return std::unique_ptr<CBoardSound>(new CRecordingSound(log)); });
}

void RemoveSounds() { SetBoardSoundFactory(nullptr); }

std::string SaveForInspection(Zorlin::CImage& image, const std::string& name)
{
    const std::string path = (fs::temp_directory_path() / (name + ".bmp")).string();
    Zorlin::CWin32File file(path.c_str(), Zorlin::CFile::kModeWrite | Zorlin::CFile::kModeCreate);
    image.Save(file, "bmp");
    return path;
}
