#include "hash/errors.h"

const char* Exception::what() const noexcept {
  if (Narrow.empty()) {
    Narrow.reserve(Message.size());
    for (wchar_t c : Message) Narrow.push_back(c < 128 ? static_cast<char>(c) : '?');
  }
  return Narrow.c_str();
}
