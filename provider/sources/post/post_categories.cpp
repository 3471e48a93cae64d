#include "post_categories.h"

#include <cctype>
#include <iterator>

#include "trc1.h"

TRC_UNIT();

namespace zevp {

namespace {

constexpr char kFreeKey = ' ';

bool IsLetterOrDigit(char c) {
  auto byte = static_cast<unsigned char>(c);
  return byte < 0x80 && std::isalnum(byte) != 0;
}

}  // namespace

PostCategories::PostCategories() : keys_{'I', 'O', 'P', 'S', 'N', 'A', 'C', 'W', 'R', 'D', ' ', ' ', ' ', ' ', ' ', ' '} {
  const char* words[] = {"Information", "Operation", "Application", "System", "Network",
                         "Alert",       "Critical",  "Warning",     "Reset",  "Detail"};
  for (int slot = 0; slot < ZEVP_POST_MAX_CATEGORY; ++slot)
    words_[slot] = slot < static_cast<int>(std::size(words)) ? words[slot] : "   ";
}

int PostCategories::slotOf(char key) const {
  for (int slot = 0; slot < ZEVP_POST_MAX_CATEGORY; ++slot)
    if (keys_[slot] == key) return slot;
  return -1;
}

void PostCategories::configure(const std::string& setting) {
  size_t first = 0;
  while (first < setting.size() && !IsLetterOrDigit(setting[first])) ++first;
  size_t end = setting.size();
  while (end > first && !IsLetterOrDigit(setting[end - 1])) --end;
  if (first == end) return;
  std::string entries = setting.substr(first, end - first);
  for (size_t from = 0; from <= entries.size();) {
    size_t comma = entries.find(',', from);
    if (comma == std::string::npos) comma = entries.size();
    std::string entry = entries.substr(from, comma - from);
    from = comma + 1;
    size_t equals = entry.find('=');
    if (equals == std::string::npos) continue;
    char key = static_cast<char>(std::toupper(static_cast<unsigned char>(entry[0])));
    std::string word = entry.substr(equals + 1);
    int slot = slotOf(key);
    if (slot >= 0 && !word.empty()) {
      TRC(TRC_DETAIL, "Post Category %c %s replaced by %s", key, words_[slot].c_str(), word.c_str());
      words_[slot] = word;
    } else if (slot >= 0) {
      TRC(TRC_DETAIL, "Post Category %c removed", key);
      keys_[slot] = kFreeKey;
    } else if (!word.empty()) {
      int free = slotOf(kFreeKey);
      if (free < 0) {
        TRC(TRC_ERROR, "***** Post category not added. Max category exceeded");
        continue;
      }
      keys_[free] = key;
      words_[free] = word;
      TRC(TRC_DETAIL, "Post Category %c %s added", key, word.c_str());
    }
  }
}

PostCategories& ProcessPostCategories() {
  static PostCategories categories;
  return categories;
}

}  // namespace zevp
