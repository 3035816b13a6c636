// One run of the tool: argument check, reading, slopes, writing, and the console texts
// around them.
#pragma once

#include <string>

#include "app/result_code.h"

namespace trasop {

// Whether a leading "/" marks an option. On Windows it does, by the convention of its
// console; elsewhere "/" begins an absolute path.
#ifdef _WIN32
constexpr bool kSlashIntroducesOption = true;
#else
constexpr bool kSlashIntroducesOption = false;
#endif

// Checks the command line. Returns Usage unless there is exactly one argument, OptionGiven if
// it begins with an option prefix ("-", and "/" where `slashIntroducesOption`), else Ok with
// the argument copied to `inputName`.
ResultCode checkArguments(int argc, const char* const* argv, std::string& inputName,
                          bool slashIntroducesOption = kSlashIntroducesOption);

// The whole run: prints the banner, processes the file named on the command line, prints the
// result's message and the end line. Returns the result, which becomes the exit status.
int runTrasop(int argc, const char* const* argv);

}  // namespace trasop
