// Second opinion on legal moves, SAN and the end of the game, from chess.js.
//
//   node rules_oracle.js CHESSJS_DIR SEED GAMES MAXPLIES < fens.txt
//
// For every start FEN read from stdin (one per line) plays GAMES random games
// of at most MAXPLIES plies with a seeded generator, so the run repeats
// exactly. Output, per game: "G <fen>"; then per position before each ply
// "S <inCheck> <checkmate> <stalemate>", "L <lan>=<san> ..." (every legal
// move, sorted by lan) and, when the game goes on, "C <lan>" for the move
// played; then "E".

'use strict'

const fs = require('fs')
const { Chess } = require(process.argv[2])

const seed = Number(process.argv[3]) >>> 0
const games = Number(process.argv[4])
const maxPlies = Number(process.argv[5])

// mulberry32: small, seeded, the same on every machine.
let state = seed
function random() {
  state = (state + 0x6d2b79f5) >>> 0
  let t = state
  t = Math.imul(t ^ (t >>> 15), t | 1)
  t ^= t + Math.imul(t ^ (t >>> 7), t | 61)
  return ((t ^ (t >>> 14)) >>> 0) / 4294967296
}

function playGame(fen) {
  const chess = new Chess(fen)
  console.log(`G ${fen}`)
  for (let ply = 0; ; ++ply) {
    const moves = chess.moves({ verbose: true })
    const flag = (b) => (b ? 1 : 0)
    console.log(`S ${flag(chess.inCheck())} ${flag(chess.isCheckmate())} ${flag(chess.isStalemate())}`)
    const listed = moves.map((m) => `${m.lan}=${m.san}`).sort()
    console.log(`L ${listed.join(' ')}`)
    if (moves.length === 0 || ply >= maxPlies)
      break
    // Prefer mates, captures, promotions and checks a little, so games reach
    // the positions where promotions, mates and stalemates happen.
    let pool = moves
    const mates = moves.filter((m) => m.san.endsWith('#'))
    const sharp = moves.filter((m) => m.captured || m.promotion || m.san.endsWith('+'))
    if (mates.length > 0 && random() < 0.5)
      pool = mates
    else if (sharp.length > 0 && random() < 0.4)
      pool = sharp
    const move = pool[Math.floor(random() * pool.length)]
    console.log(`C ${move.lan}`)
    chess.move(move)
  }
  console.log('E')
}

const fens = fs.readFileSync(0, 'utf8').split('\n').map((l) => l.trim()).filter((l) => l.length > 0)
for (const fen of fens)
  for (let g = 0; g < games; ++g)
    playGame(fen)
