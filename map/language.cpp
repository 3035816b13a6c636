#include "map/language.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace trasop {

Language languageOf(const std::string& code) {
  return code == "de" ? Language::German : Language::English;
}

std::string decimal(std::string number, Language language) {
  if (language == Language::German) {
    for (char& c : number) {
      if (c == '.') c = ',';
    }
  }
  return number;
}

std::string countText(std::uint64_t count, Language language) {
  std::string digits = std::to_string(count);
  const char separator = language == Language::German ? '.' : ',';
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, 1, separator);
  return digits;
}

}  // namespace trasop
