// The categories of posted messages: sixteen slots, each a one-letter key and its
// word. A message names its category by key; the row carries the word.
#pragma once

#include <string>

namespace zevp {

constexpr int ZEVP_POST_MAX_CATEGORY = 16;

class PostCategories {
 public:
  // I Information, O Operation, P Application, S System, N Network, A Alert,
  // C Critical, W Warning, R Reset, D Detail; six free slots.
  PostCategories();

  // Applies a ZEVP_POST_CATEGORY value: entries "K=word" separated by commas, in
  // order. A word replaces the word of its key, or takes the first free slot for a
  // new key; an empty word frees the key's slot. Entries without '=' are skipped.
  void configure(const std::string& setting);

  // The slot of the key (compared as given), or -1.
  int slotOf(char key) const;
  char key(int slot) const { return keys_[slot]; }
  const std::string& word(int slot) const { return words_[slot]; }

 private:
  char keys_[ZEVP_POST_MAX_CATEGORY];
  std::string words_[ZEVP_POST_MAX_CATEGORY];
};

// The process's table: configured once, at the start of the POST listen service,
// by the one POST data provider of the process.
PostCategories& ProcessPostCategories();

}  // namespace zevp
