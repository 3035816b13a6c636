#include "platform/console.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>
#endif

namespace trasop {

namespace {

// The language code at the start of a locale's name ("de_DE.UTF-8" gives "de").
std::string codeOf(const std::string& locale) {
  if (locale == "C" || locale == "POSIX" || locale.compare(0, 2, "C.") == 0) return "";
  std::string code;
  for (const char c : locale) {
    if (c < 'a' || c > 'z') break;
    code += c;
  }
  return code;
}

}  // namespace

std::string userLanguage() {
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* const value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    std::string locale = value;
    if (std::string(name) == "LANGUAGE") locale = locale.substr(0, locale.find(':'));
    return codeOf(locale);
  }
#ifdef _WIN32
  // The user's display language: its primary language identifier.
  switch (PRIMARYLANGID(GetUserDefaultUILanguage())) {
    case LANG_GERMAN:
      return "de";
    case LANG_ENGLISH:
      return "en";
    default:
      return "";
  }
#else
  return "";
#endif
}

bool writeText(std::FILE* stream, const std::string& text) {
#ifdef _WIN32
  // A console takes UTF-16 through WriteConsoleW, whatever its code page; a file or a pipe
  // gets the UTF-8 bytes.
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0) {
    if (std::fflush(stream) != 0) return false;
    const int wide =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring converted(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &converted[0],
                        wide);
    DWORD written = 0;
    return wide == 0 || WriteConsoleW(handle, converted.data(), static_cast<DWORD>(wide), &written,
                                      nullptr) != 0;
  }
#endif
  return std::fwrite(text.data(), 1, text.size(), stream) == text.size() &&
         std::fflush(stream) == 0;
}

}  // namespace trasop
