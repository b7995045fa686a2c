// Speed of the PGN readers on a large file, read the way the game list
// reads one (16 KB blocks in front of the disk file), and of SAN writing
// on a long real game. Built as chess_bench_pgn in the build folder.
//
// The large file is ROOKWELL_BENCH_PGN when that is set (scripts/bench-chess
// passes the file it also gives the other readers); otherwise the 800 engine
// games repeated into a temporary file of about 100 MB.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "chess/ChessBoard.h"
#include "chess/Pgn.h"
#include "foundation/AssocArray.h"
#include "foundation/BufferedInputFile.h"
#include "foundation/Win32File.h"

using Zorlin::CAssocArray;
using Zorlin::CBufferedInputFile;
using Zorlin::CFile;
using Zorlin::CString;
using Zorlin::CWin32File;

namespace {

const char* const kSourceGames = ROOKWELL_TESTDATA "/pgn/engine-games-800.pgn";
const size_t kLargeFileBytes = 100u << 20;

std::string ReadWhole(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The large file, made once; removed at exit when it is ours.
class CLargeFile {
public:
    CLargeFile()
    {
        if (const char* given = std::getenv("ROOKWELL_BENCH_PGN")) {
            m_path = given;
            return;
        }
        const std::string games = ReadWhole(kSourceGames);
        if (games.empty())
            return;
        char name[] = "/tmp/chess-bench-XXXXXX.pgn";
        const int fd = mkstemps(name, 4);
        if (fd < 0)
            return;
        close(fd);
        std::ofstream out(name, std::ios::binary);
        for (size_t written = 0; written < kLargeFileBytes; written += games.size()) {
            out << games;
            // A file that does not end in a line end would glue two games.
            if (games.back() != '\n')
                out << '\n';
        }
        m_path = name;
        m_owned = true;
    }
    ~CLargeFile()
    {
        if (m_owned)
            std::remove(m_path.c_str());
    }
    const std::string& GetPath() const { return m_path; }

private:
    std::string m_path;
    bool m_owned = false;
};

const std::string& LargeFilePath()
{
    static CLargeFile file;
    return file.GetPath();
}

// As the game list opens a file: its blocks and its cache size.
class COpenedPgn {
public:
    explicit COpenedPgn(const std::string& path)
        : m_file(new CWin32File(path.c_str(), CFile::kModeRead), CBufferedInputFile::kDefaultBlockSize, 2)
    {
        m_file.SetOwnsInner(true);
    }
    CFile& Get() { return m_file; }
    bool IsOpen() const { return m_file.IsOpen(); }

private:
    CBufferedInputFile m_file;
};

bool OpenOrSkip(benchmark::State& state, const std::string& path)
{
    COpenedPgn probe(path);
    if (path.empty() || !probe.IsOpen()) {
        state.SkipWithError("the large PGN file could not be made or opened");
        return false;
    }
    return true;
}

void ReportRates(benchmark::State& state, int64_t bytes, int64_t games, int64_t plies)
{
    state.SetBytesProcessed(bytes);
    state.counters["games/s"] = benchmark::Counter(double(games), benchmark::Counter::kIsRate);
    state.counters["games"] = double(games) / double(state.iterations());
    if (plies > 0)
        state.counters["plies/s"] = benchmark::Counter(double(plies), benchmark::Counter::kIsRate);
}

// The game list: tags and raw move text of every game.
void BM_PgnList(benchmark::State& state)
{
    const std::string& path = LargeFilePath();
    if (!OpenOrSkip(state, path))
        return;
    int64_t bytes = 0, games = 0;
    for (auto _ : state) {
        COpenedPgn pgn(path);
        CAssocArray<CString> tags;
        CString error, moveText;
        while (ReadPgnGame(pgn.Get(), tags, error, moveText)) {
            benchmark::DoNotOptimize(moveText.GetLength());
            ++games;
        }
        bytes += pgn.Get().GetSize();
    }
    ReportRates(state, bytes, games, 0);
}
BENCHMARK(BM_PgnList)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Loading: every move of every game checked and played.
void BM_PgnLoad(benchmark::State& state)
{
    const std::string& path = LargeFilePath();
    if (!OpenOrSkip(state, path))
        return;
    int64_t bytes = 0, games = 0, plies = 0, failed = 0;
    for (auto _ : state) {
        COpenedPgn pgn(path);
        CChessBoard board;
        CAssocArray<CString> tags;
        CString error;
        for (;;) {
            const bool ok = board.LoadPgnGame(pgn.Get(), tags, error);
            if (!ok && error.IsEmpty())
                break;
            failed += ok ? 0 : 1;
            plies += board.GetHistory().GetCount();
            ++games;
        }
        bytes += pgn.Get().GetSize();
    }
    ReportRates(state, bytes, games, plies);
    state.counters["failed"] = double(failed) / double(state.iterations());
}
BENCHMARK(BM_PgnLoad)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The boards of the longest game of the engine collection, one per ply.
std::vector<CChessBoard> LongestGamePositions()
{
    COpenedPgn pgn(kSourceGames);
    CFile& f = pgn.Get();
    CChessBoard board, longest;
    CAssocArray<CString> tags;
    CString error;
    for (;;) {
        const bool ok = board.LoadPgnGame(f, tags, error);
        if (!ok && error.IsEmpty())
            break;
        if (ok && board.GetHistory().GetCount() > longest.GetHistory().GetCount())
            longest = board;
    }
    std::vector<CChessBoard> positions(1);
    positions[0].SetupStartPosition();
    const Zorlin::CArray<SHistoryEntry>& history = longest.GetHistory();
    for (int i = 0; i < history.GetCount(); ++i) {
        CChessBoard next = positions.back();
        CMove move = history.GetAt(i)->m_move;
        next.MakeMove(move, 0.0);
        positions.push_back(next);
    }
    return positions;
}

// SAN of the move played at each ply, computed afresh.
void BM_SanOfPlayedMoves(benchmark::State& state)
{
    const std::vector<CChessBoard> positions = LongestGamePositions();
    const Zorlin::CArray<SHistoryEntry>& history = positions.back().GetHistory();
    int64_t written = 0;
    for (auto _ : state) {
        for (int i = 0; i < history.GetCount(); ++i) {
            CMove move = history.GetAt(i)->m_move;
            move.m_text = CString();
            CString san;
            positions[size_t(i)].MakeSan(move, san);
            benchmark::DoNotOptimize(san.GetLength());
            ++written;
        }
    }
    state.counters["plies"] = double(history.GetCount());
    state.counters["san/s"] = benchmark::Counter(double(written), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SanOfPlayedMoves)->Unit(benchmark::kMicrosecond);

// SAN of every legal move in every position of the game.
void BM_SanOfEveryLegalMove(benchmark::State& state)
{
    const std::vector<CChessBoard> positions = LongestGamePositions();
    int64_t written = 0;
    for (auto _ : state) {
        for (const CChessBoard& board : positions) {
            Zorlin::CArray<CMove> moves;
            board.GetLegalMoves(moves);
            for (int i = 0; i < moves.GetCount(); ++i) {
                CString san;
                board.MakeSan(*moves.GetAt(i), san);
                benchmark::DoNotOptimize(san.GetLength());
                ++written;
            }
        }
    }
    state.counters["san/s"] = benchmark::Counter(double(written), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SanOfEveryLegalMove)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
