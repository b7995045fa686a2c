// The position after a list of moves in coordinate form (e2e4, e7e8q), as
// chess.js sees it: its FEN and every legal move, as one line of JSON.
//   node oracle.js CHESSJS_FOLDER [MOVE...]
// Or the FEN after each ply of the game at INDEX (from 0) of a PGN file, and
// the game's moves in coordinate form:
//   node oracle.js CHESSJS_FOLDER --pgn FILE INDEX
// Or, with --line before the moves, a JSON list of the position before each
// move and after the last, for a session that plays a line of moves:
//   node oracle.js CHESSJS_FOLDER --line [MOVE...]
const { Chess } = require(process.argv[2]);
const game = new Chess();
if (process.argv[3] === "--pgn") {
    const text = require("fs").readFileSync(process.argv[4], "latin1").replace(/^\uFEFF/, "");
    const games = text.split(/\r?\n(?=\[Event )/).filter((g) => g.trim().startsWith("["));
    game.loadPgn(games[Number(process.argv[5])]);
    const history = game.history({ verbose: true });
    console.log(JSON.stringify({
        games: games.length,
        header: game.header(),
        start: history.length ? history[0].before : game.fen(),
        fens: history.map((m) => m.after),
        moves: history.map((m) => m.from + m.to + (m.promotion || "")),
    }));
    process.exit(0);
}
function position() {
    const moves = game.moves({ verbose: true }).map((m) => ({
        from: m.from, to: m.to, san: m.san, flags: m.flags, promotion: m.promotion || "",
    }));
    return { fen: game.fen(), turn: game.turn(), over: game.isGameOver(), check: game.inCheck(), moves };
}
const line = process.argv[3] === "--line";
const positions = [];
for (const text of process.argv.slice(line ? 4 : 3)) {
    if (line)
        positions.push(position());
    const move = { from: text.slice(0, 2), to: text.slice(2, 4) };
    if (text.length > 4) move.promotion = text[4];
    try {
        game.move(move);
    } catch (error) {
        console.log(JSON.stringify({ error: "illegal move " + text }));
        process.exit(0);
    }
}
positions.push(position());
console.log(JSON.stringify(line ? positions : positions[0]));
