// chess.js's FEN after each of the SAN moves given as arguments, one line
// each, for comparing positions with our own.
//
//   node fen_oracle.js CHESSJS_DIR SAN...

'use strict'

const { Chess } = require(process.argv[2])

const chess = new Chess()
console.log(chess.fen())
for (const san of process.argv.slice(3)) {
  chess.move(san)
  console.log(chess.fen())
}
