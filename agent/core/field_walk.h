// Walks over the pieces of the agent's definition texts and work-file lines.
//
// FieldWalk cuts a definition text one separator at a time.
//
// The definition texts nest their separators (';' ends a group, ':' a record, ',' a
// field) and a piece may be empty (a group without attributes), so each step names the
// separator that ends its piece, and an empty piece between two separators is a piece.
// Nothing is copied or changed.
#pragma once

#include <string_view>

class FieldWalk {
 public:
  explicit FieldWalk(std::string_view text) : rest_(text) {}

  // The text up to the next separator, which is passed over; without one, the rest of
  // the text. False when nothing is left.
  bool next(char separator, std::string_view* piece) {
    if (rest_.empty()) return false;
    size_t end = rest_.find(separator);
    *piece = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    return true;
  }

  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

// The next token of a text line whose fields are separated by blanks (a run of blanks is
// one separator), passed over; false when only blanks are left.
inline bool nextBlankToken(std::string_view* rest, std::string_view* token) {
  size_t start = rest->find_first_not_of(' ');
  if (start == std::string_view::npos) return false;
  rest->remove_prefix(start);
  size_t end = rest->find(' ');
  *token = rest->substr(0, end);
  rest->remove_prefix(end == std::string_view::npos ? rest->size() : end);
  return true;
}
