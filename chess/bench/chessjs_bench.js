// The same work as chess_bench_pgn and chess_bench_rules, done by chess.js,
// for scripts/bench-chess to compare against.
//
//   node chessjs_bench.js CHESSJS_DIR FILE.pgn [PERFT_DEPTH]
//
// Prints one line per measure, words then numbers:
//   perft DEPTH NODES SECONDS
//   load GAMES PLIES FAILED BYTES SECONDS

'use strict'

const fs = require('fs')
const path = require('path')
const { Chess } = require(path.resolve(process.argv[2]))

function seconds(start) {
  return Number(process.hrtime.bigint() - start) / 1e9
}

// A game starts at a tag line that follows move text (or the file start);
// chess.js wants exactly one blank line between the tags and the moves.
function splitGames(text) {
  const games = []
  let tags = null
  let moves = []
  const flush = () => {
    if (tags !== null) games.push(tags.join('\n') + '\n\n' + moves.join('\n'))
  }
  for (const line of text.replace(/^\uFEFF/, '').split(/\r?\n/)) {
    if (/^\s*\[/.test(line)) {
      if (tags === null || moves.length > 0) {
        flush()
        tags = []
        moves = []
      }
      tags.push(line.trim())
    } else if (tags !== null && line.trim() !== '') {
      moves.push(line)
    }
  }
  flush()
  return games
}

function benchPerft(depth) {
  const chess = new Chess()
  const start = process.hrtime.bigint()
  const nodes = chess.perft(depth)
  console.log(`perft ${depth} ${nodes} ${seconds(start).toFixed(4)}`)
}

// Plies from the move counter: history() would replay the whole game.
function pliesOf(chess) {
  return (chess.moveNumber() - 1) * 2 + (chess.turn() === 'b' ? 1 : 0)
}

function benchLoad(file) {
  const text = fs.readFileSync(file, 'latin1')
  const games = splitGames(text)
  let plies = 0
  let failed = 0
  const start = process.hrtime.bigint()
  for (const game of games) {
    const chess = new Chess()
    try {
      chess.loadPgn(game)
      plies += pliesOf(chess)
    } catch (e) {
      ++failed
    }
  }
  const elapsed = seconds(start)
  console.log(`load ${games.length} ${plies} ${failed} ${Buffer.byteLength(text, 'latin1')} ${elapsed.toFixed(4)}`)
}

benchPerft(Number(process.argv[4] || 5))
benchLoad(process.argv[3])
