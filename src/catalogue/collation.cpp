#include "catalogue/collation.h"

#include <cstring>
#include <string>

namespace rondo {

std::string CollationKey(std::string_view utf8) {
  // strxfrm needs a terminated text; a zero byte inside ends it, as it ends
  // every stored text anyway.
  const std::string text(utf8.substr(0, utf8.find('\0')));
  std::string key(text.size() * 4 + 16, '\0');
  std::size_t needed = std::strxfrm(key.data(), text.c_str(), key.size());
  if (needed >= key.size()) {
    key.assign(needed + 1, '\0');
    needed = std::strxfrm(key.data(), text.c_str(), key.size());
  }
  key.resize(needed < key.size() ? needed : key.size());
  return key;
}

}  // namespace rondo
