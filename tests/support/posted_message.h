// A message as the post sender writes it to a POST data provider: the text, ';',
// the category letter, ';', and zero bytes up to 32 when that is shorter.
#pragma once

#include <string>

// The bytes padded with zero bytes to 32, as a short post goes.
inline std::string PaddedPost(std::string bytes) {
  if (bytes.size() < 32) bytes.resize(32, '\0');
  return bytes;
}

inline std::string PostedMessage(const std::string& text, const std::string& category) {
  return PaddedPost(text + ";" + category + ";");
}
