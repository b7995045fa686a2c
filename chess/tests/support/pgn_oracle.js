// Second opinion on PGN games and positions, from chess.js.
//
//   node pgn_oracle.js CHESSJS_DIR games FILE.pgn STEP
//       splits the file into games on its own and loads each with chess.js;
//       every STEP-th game (from the first) is described ply by ply
//   node pgn_oracle.js CHESSJS_DIR moves FILE.txt
//       one game per line, moves in coordinate form (e2e4, e7e8q)
//
// Output, per game: "GAME"; "T <name>TAB<value>" for each tag; then
// "M <san> <fen>" after every ply and "F <final fen>", or for a game not
// described ply by ply "P <plies>" and "F <final fen>"; then "END ok" or
// "END error <move>". The en passant field of each FEN is the
// square behind any two-square pawn step, whether or not a capture is
// possible (chess.js itself writes it only when one is).

'use strict'

const fs = require('fs')
const { Chess } = require(process.argv[2])

function withEnPassant(fen, move) {
  const fields = fen.split(' ')
  if (move && move.flags.includes('b')) {
    const rank = move.color === 'w' ? '3' : '6'
    fields[3] = move.from[0] + rank
  } else {
    fields[3] = '-'
  }
  return fields.join(' ')
}

function fenAfter(move) {
  return withEnPassant(move.after, move)
}

// Cheap: the whole history is not replayed, only the last move taken back.
function printSummary(chess) {
  const plies = (chess.moveNumber() - 1) * 2 + (chess.turn() === 'b' ? 1 : 0)
  const fen = chess.fen()
  console.log(`P ${plies}`)
  console.log(`F ${withEnPassant(fen, chess.undo())}`)
}

function printHistory(chess) {
  const history = chess.history({ verbose: true })
  for (const move of history)
    console.log(`M ${move.san} ${fenAfter(move)}`)
  console.log(`F ${withEnPassant(chess.fen(), history[history.length - 1])}`)
}

// A game starts at a tag line that follows move text (or the file start).
// Blank lines among the tags are dropped, as chess.js wants exactly one
// blank line between tags and moves. A tag line may hold several tags and
// the move text after them. Text before a game's tags that holds no move
// (a comment, a lone result) is no game.
const TAG = /^\s*\[\s*([A-Za-z0-9_]+)\s*"((?:[^"\\]|\\.)*)"\s*\]/

function splitTagLine(line) {
  const tags = []
  let rest = line
  for (let m = TAG.exec(rest); m; m = TAG.exec(rest)) {
    tags.push(m[0].trim())
    rest = rest.slice(m[0].length)
  }
  if (tags.length === 0) return { tags: [line.trim()], rest: '' }
  return { tags, rest: rest.trim() }
}

function holdsMoves(lines) {
  const text = lines.join('\n').replace(/\{[^}]*\}/g, ' ').replace(/^[;%].*$/gm, ' ')
  return text.replace(/1-0|0-1|1\/2-1\/2|\*/g, ' ').trim() !== ''
}

function splitGames(text) {
  const games = []
  let tags = null
  let moves = []
  const flush = () => {
    if (tags !== null && (tags.length > 0 || holdsMoves(moves)))
      games.push(tags.join('\n') + '\n\n' + moves.join('\n'))
  }
  for (const line of text.replace(/^\uFEFF/, '').split(/\r?\n/)) {
    const isTag = /^\s*\[/.test(line)
    if (isTag && (tags === null || moves.length > 0)) {
      flush()
      tags = []
      moves = []
    }
    if (isTag && moves.length === 0) {
      const split = splitTagLine(line)
      tags.push(...split.tags)
      if (split.rest !== '') moves.push(split.rest)
    } else if (line.trim() !== '') {
      if (tags === null) tags = []
      moves.push(line)
    }
  }
  flush()
  return games
}

function printTags(chess) {
  for (const [name, value] of Object.entries(chess.header()))
    if (value !== null && value !== undefined) console.log(`T ${name}\t${value}`)
}

function games(file, step) {
  let index = 0
  for (const pgn of splitGames(fs.readFileSync(file, 'utf8'))) {
    const chess = new Chess()
    const print = index++ % step === 0 ? printHistory : printSummary
    console.log('GAME')
    try {
      chess.loadPgn(pgn)
      printTags(chess)
      print(chess)
      console.log('END ok')
    } catch (e) {
      // chess.js keeps the moves made before the bad one.
      printTags(chess)
      print(chess)
      const m = /Invalid move in PGN: (\S+)/.exec(String(e.message))
      console.log(`END error ${m ? m[1] : '?'}`)
    }
  }
}

function moves(file) {
  for (const line of fs.readFileSync(file, 'utf8').split('\n')) {
    if (line.trim() === '') continue
    const chess = new Chess()
    console.log('GAME')
    let bad = null
    for (const text of line.trim().split(/\s+/)) {
      const move = { from: text.slice(0, 2), to: text.slice(2, 4) }
      if (text.length > 4) move.promotion = text[4]
      try {
        const made = chess.move(move)
        console.log(`M ${made.san} ${fenAfter(made)}`)
      } catch (e) {
        bad = text
        break
      }
    }
    console.log(bad === null ? 'END ok' : `END error ${bad}`)
  }
}

const mode = process.argv[3]
if (mode === 'games') games(process.argv[4], Number(process.argv[5] || 1))
else if (mode === 'moves') moves(process.argv[4])
else {
  console.error('usage: pgn_oracle.js CHESSJS_DIR games FILE STEP | moves FILE')
  process.exit(2)
}
