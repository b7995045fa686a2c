// Speed of the rules core: perft, SAN writing and reading moves for play.
// Built as chess_bench_rules in the build folder.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "chess/ChessBoard.h"

namespace {

// A long game of seeded random legal moves (with queen promotions), as SAN.
std::vector<std::string> LongGame()
{
    std::vector<std::string> sans;
    CChessBoard board;
    board.SetupStartPosition();
    uint32_t state = 12345;
    for (int ply = 0; ply < 300; ++ply) {
        Zorlin::CArray<CMove> moves;
        if (board.GetLegalMoves(moves) == 0 || board.GetGameState(board.GetSideToMove()) != STATE_PLAYING)
            break;
        state = state * 1664525u + 1013904223u;
        CMove move = *moves.GetAt(int((state >> 8) % uint32_t(moves.GetCount())));
        move.m_promotion = PIECE_QUEEN;
        if (!board.MakeMove(move, 0.0))
            break;
        sans.push_back(move.m_text.GetText());
    }
    return sans;
}

void BM_Perft(benchmark::State& state)
{
    CChessBoard board;
    board.SetupStartPosition();
    uint64_t nodes = 0;
    for (auto _ : state)
        nodes += board.Perft(int(state.range(0)));
    state.counters["nodes/s"] = benchmark::Counter(double(nodes), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Perft)->Arg(4)->Arg(5)->Unit(benchmark::kMillisecond);

// SAN of every legal move in every position of the game.
void BM_SanOfEveryMove(benchmark::State& state)
{
    std::vector<std::string> game = LongGame();
    std::vector<CChessBoard> positions(1);
    positions[0].SetupStartPosition();
    for (const std::string& san : game) {
        CChessBoard next = positions.back();
        CMove move;
        next.ParseMove(san.c_str(), move, true);
        next.MakeMove(move, 0.0);
        positions.push_back(next);
    }
    int64_t written = 0;
    for (auto _ : state) {
        for (const CChessBoard& board : positions) {
            Zorlin::CArray<CMove> moves;
            board.GetLegalMoves(moves);
            for (int i = 0; i < moves.GetCount(); ++i) {
                Zorlin::CString san;
                board.MakeSan(*moves.GetAt(i), san);
                ++written;
            }
        }
    }
    state.counters["san/s"] = benchmark::Counter(double(written), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SanOfEveryMove)->Unit(benchmark::kMillisecond);

// What loading a game does per ply: read the text for play, then make it.
void BM_ReadAndPlayGame(benchmark::State& state)
{
    std::vector<std::string> game = LongGame();
    int64_t plies = 0;
    for (auto _ : state) {
        CChessBoard board;
        board.SetupStartPosition();
        for (const std::string& san : game) {
            CMove move;
            if (!board.ParseMove(san.c_str(), move, true))
                break;
            move.m_text = san.c_str();
            board.MakeMove(move, 0.0);
            ++plies;
        }
    }
    state.counters["plies/s"] = benchmark::Counter(double(plies), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadAndPlayGame)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
