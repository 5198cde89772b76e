#include "common/placed_pieces.h"

#include <cstring>
#include <utility>

PlacedPiece TextPieceSink::take() {
  PlacedPiece piece;
  if (!spare_.empty()) {
    piece = std::move(spare_.back());
    spare_.pop_back();
  } else {
    piece.bytes.reset(new char[PlacedPiece::kCapacity]);
  }
  piece.offset = 0;
  piece.size = 0;
  return piece;
}

bool TextPieceSink::put(PlacedPiece piece) {
  const size_t end = static_cast<size_t>(piece.offset) + piece.size;
  if (text.size() < end) text.resize(end);
  if (piece.size > 0)
    std::memcpy(&text[static_cast<size_t>(piece.offset)], piece.data(), piece.size);
  spare_.push_back(std::move(piece));
  return true;
}
