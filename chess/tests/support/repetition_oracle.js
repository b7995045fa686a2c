// Second opinion on threefold repetition, from chess.js.
//
//   node repetition_oracle.js CHESSJS_DIR SEED GAMES MAXPLIES < lines.txt
//
// Plays every line read from stdin (SAN moves separated by spaces) from the
// start, then GAMES seeded random games of at most MAXPLIES plies in which
// pieces often step back where they came from, so positions come back.
// Output per game: "G <lan> <lan> ...", then "R <n>": the first ply after
// which chess.js calls the position a threefold repetition, 0 for none (a
// random game ends there).
// Random games open with two pawn moves, so the start position never recurs.

'use strict'

const fs = require('fs')
const { Chess } = require(process.argv[2])

const seed = Number(process.argv[3]) >>> 0
const games = Number(process.argv[4])
const maxPlies = Number(process.argv[5])

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

const lines = fs.readFileSync(0, 'utf8').split('\n').map((l) => l.trim()).filter((l) => l.length > 0)
for (const line of lines)
  playLine(line)
for (let g = 0; g < games; ++g)
  playRandom()
