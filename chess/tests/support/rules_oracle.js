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
//
//   node rules_oracle.js CHESSJS_DIR SEED GAMES MAXPLIES repetition < lines.txt
//
// Plays every line read from stdin (SAN moves separated by spaces) from the
// start, then GAMES random games of at most MAXPLIES plies in which pieces
// often step back where they came from, so positions come back. Output per
// game: "G <lan> <lan> ...", then "R <n>": the first ply after which chess.js
// calls the position a threefold repetition, 0 for none (a random game ends
// there). Random games open with two pawn moves, so the start position never
// recurs.

'use strict'

const fs = require('fs')
const { Chess } = require(process.argv[2])

const seed = Number(process.argv[3]) >>> 0
const games = Number(process.argv[4])
const maxPlies = Number(process.argv[5])
const mode = process.argv[6] || 'rules'

// mulberry32: small, seeded, the same on every machine.
let state = seed
function random() {
  state = (state + 0x6d2b79f5) >>> 0
  let t = state
  t = Math.imul(t ^ (t >>> 15), t | 1)
  t ^= t + Math.imul(t ^ (t >>> 7), t | 61)
  return ((t ^ (t >>> 14)) >>> 0) / 4294967296
}

function pick(list) {
  return list[Math.floor(random() * list.length)]
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
    const move = pick(pool)
    console.log(`C ${move.lan}`)
    chess.move(move)
  }
  console.log('E')
}

function report(lans, first) {
  console.log(`G ${lans.join(' ')}`)
  console.log(`R ${first}`)
}

function playLine(text) {
  const chess = new Chess()
  const lans = []
  let first = 0
  for (const san of text.split(/\s+/).filter((w) => w.length > 0)) {
    lans.push(chess.move(san).lan)
    if (first === 0 && chess.isThreefoldRepetition())
      first = lans.length
  }
  report(lans, first)
}

function playRandom() {
  const chess = new Chess()
  const lans = []
  const last = [null, null] // each side's previous move
  for (let ply = 0; ply < maxPlies; ++ply) {
    const moves = chess.moves({ verbose: true })
    if (moves.length === 0)
      break
    let pool = moves
    const side = ply % 2
    if (ply < 2) {
      pool = moves.filter((m) => m.piece === 'p')
    } else {
      const back = moves.filter((m) => last[side] && m.from === last[side].to && m.to === last[side].from)
      const doubleSteps = moves.filter((m) => m.flags.includes('b') || m.flags.includes('e'))
      const r = random()
      if (back.length > 0 && r < 0.6)
        pool = back
      else if (doubleSteps.length > 0 && r < 0.8)
        pool = doubleSteps
    }
    const move = pick(pool)
    chess.move(move)
    lans.push(move.lan)
    last[side] = move
    // Only the first repetition is compared: the game ends there.
    if (chess.isThreefoldRepetition())
      return report(lans, lans.length)
  }
  report(lans, 0)
}

const input = fs.readFileSync(0, 'utf8').split('\n').map((l) => l.trim()).filter((l) => l.length > 0)
if (mode === 'repetition') {
  for (const line of input)
    playLine(line)
  for (let g = 0; g < games; ++g)
    playRandom()
} else {
  for (const fen of input)
    for (let g = 0; g < games; ++g)
      playGame(fen)
}
