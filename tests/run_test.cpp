// The argument check. Whole runs are left to the command-line cases: there "/" is tested as an
// option on Windows (option_slash) and as the start of a path elsewhere (absolute_path).
#include "app/run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/result_code_printer.h"

namespace trasop {
namespace {

struct ArgumentCase {
  std::vector<const char*> args;  // after the program name
  bool slashIntroducesOption;
  ResultCode result;
};

TEST(CheckArguments, TakesExactlyOneFileName) {
  const ArgumentCase cases[] = {
      {{}, false, Usage},
      {{"a.dmna", "b.dmna"}, false, Usage},
      {{"-h"}, false, OptionGiven},
      {{"-"}, true, OptionGiven},
      {{"a-b.dmna"}, false, Ok},
      {{"zg00.dmna"}, true, Ok},
      // "/" marks an option only where it cannot begin an absolute path.
      {{"/?"}, true, OptionGiven},
      {{"/data/zg00.dmna"}, true, OptionGiven},
      {{"/data/zg00.dmna"}, false, Ok},
      {{"dir/zg00.dmna"}, true, Ok},
  };
  for (const ArgumentCase& c : cases) {
    std::vector<const char*> argv = {"trasop"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    std::string name = "unchanged";
    const ResultCode result =
        checkArguments(static_cast<int>(argv.size()), argv.data(), name, c.slashIntroducesOption);
    EXPECT_EQ(c.result, result) << argv.size() << ' ' << argv.back();
    EXPECT_EQ(result == Ok ? std::string(argv.back()) : "unchanged", name);
  }
}

}  // namespace
}  // namespace trasop
