// The languages of trasop-map's figure and text summary, and what differs between them beside
// the words: the decimal mark and the separator of thousands.
#pragma once

#include <cstdint>
#include <string>

namespace trasop {

enum class Language : std::uint8_t { English, German };

// The language of a two-letter code: German for "de", English for anything else.
Language languageOf(const std::string& code);

// `number` (as printf writes it, with a decimal point) with the language's decimal mark.
std::string decimal(std::string number, Language language);

// A count with the language's separator of thousands: 31,417 or 31.417.
std::string countText(std::uint64_t count, Language language);

}  // namespace trasop
