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

PlacedPiece InOrderPieceSink::take() {
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

bool InOrderPieceSink::put(PlacedPiece piece) {
  if (failed_) return false;
  if (piece.offset < written_ || held_.count(piece.offset) != 0) {
    failed_ = true;
    return false;
  }
  if (piece.offset > written_) {
    held_.emplace(piece.offset, std::move(piece));
    return true;
  }
  if (!write_piece(std::move(piece))) return false;
  // The pieces that waited for this one.
  while (!held_.empty() && held_.begin()->first == written_) {
    PlacedPiece next = std::move(held_.begin()->second);
    held_.erase(held_.begin());
    if (!write_piece(std::move(next))) return false;
  }
  return true;
}

bool InOrderPieceSink::write_piece(PlacedPiece piece) {
  if (piece.size > 0 && !write_(piece.data(), piece.size)) {
    failed_ = true;
    return false;
  }
  written_ += piece.size;
  spare_.push_back(std::move(piece));
  return true;
}
