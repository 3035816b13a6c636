// The user's language and the console: what the program may speak without being told, and
// text written so that a Windows console shows its umlauts.
#pragma once

#include <cstdio>
#include <string>

namespace trasop {

// The language of the user's locale, as GNU programs find it: the first of LANGUAGE (its
// first entry), LC_ALL, LC_MESSAGES and LANG that is set and not empty; on Windows, where
// none of them is, the user's display language. As its two-letter code ("de", "en"), or ""
// where none is found or the locale is C or POSIX.
std::string userLanguage();

// Writes UTF-8 `text` to `stream`: to a Windows console as its characters (the console's code
// page aside), to anything else as it is. Returns false where the write fails.
bool writeText(std::FILE* stream, const std::string& text);

}  // namespace trasop
