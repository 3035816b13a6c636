// Console output of the tool. Everything it says goes to standard output; nothing goes to
// standard error.
#pragma once

namespace trasop {

// printf-style output to standard output.
void printMessage(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Prints the text that belongs to `code`: the banner, the usage text or a failure message.
// Ok and codes without a text print nothing.
void printResultMessage(int code);

}  // namespace trasop
