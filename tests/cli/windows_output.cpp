// Replacing an existing output on Windows, case by case: attributes kept (and the archive
// attribute set), a read-only file refused, and a file that another program holds open
// rewritten in place where that program shares writing, refused where it does not. Then, in
// this process, a replace step that fails the ways ReplaceFileA can fail halfway: the old output
// or the new text is always under the output's name. Each failed run leaves the older output
// as it was and no temporary file.
//   windows_output TRASOP INPUT   (run in a scratch folder of its own)
#define WIN32_LEAN_AND_MEAN
#include <process.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/output_file.h"

namespace {

std::string contentOf(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int runTool(const char* trasop) {
  return static_cast<int>(_spawnl(_P_WAIT, trasop, trasop, "g.dmna", nullptr));
}

bool temporaryFileLeft() {
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA("*.tmp", &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

struct Case {
  const char* name;
  DWORD attributes;   // of the older output
  DWORD holderShare;  // held open for reading by another program, sharing this; ~0u: not held
  int exitStatus;
};

constexpr DWORD kNotHeld = ~DWORD{0};

// A replace step that fails `failures` times with `error`, leaving the files as the system
// does for that error, and then replaces as the system does.
struct StepCase {
  const char* name;
  DWORD error;
  int failures;
  bool replaced;  // the run ends with the new text
};

const StepCase kStepCases[] = {
    {"1176 (nothing moved) every time", ERROR_UNABLE_TO_MOVE_REPLACEMENT, 100, false},
    {"1177 (old file at the backup name)", ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, 1, true},
    {"1175 (old file not removed) every time", ERROR_UNABLE_TO_REMOVE_REPLACED, 100, false},
    {"32 (sharing violation) twice", ERROR_SHARING_VIOLATION, 2, true},
    {"32 (sharing violation) every time", ERROR_SHARING_VIOLATION, 100, false},
};

const StepCase* step = nullptr;
int steps = 0;

unsigned long injectedReplace(const char* replaced, const char* replacement, const char* backup) {
  if (steps++ < step->failures) {
    if (step->error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) MoveFileExA(replaced, backup, 0);
    return step->error;
  }
  return ReplaceFileA(replaced, replacement, backup, 0, nullptr, nullptr) != 0 ? 0 : GetLastError();
}

// Writes "new" to the output "s.dmna", which holds "older", through the injected step.
int stepFailures() {
  int failures = 0;
  trasop::setReplaceStep(injectedReplace);
  for (const StepCase& c : kStepCases) {
    std::ofstream("s.dmna", std::ios::binary | std::ios::trunc) << "older";
    step = &c;
    steps = 0;
    trasop::OutputFile output;
    bool done = trasop::openOutputFile("s.dmna", output);
    if (done) {
      std::fputs("new", output.file);
      done = trasop::closeOutputFile(output, true);
    }
    std::string fault;
    if (done != c.replaced) fault += done ? " succeeded;" : " failed;";
    if (contentOf("s.dmna") != (c.replaced ? "new" : "older")) fault += " content;";
    if (temporaryFileLeft()) fault += " temporary or backup file left;";
    std::printf("%s replace step %s:%s\n", fault.empty() ? "passed" : "FAILED", c.name,
                fault.c_str());
    if (!fault.empty()) ++failures;
  }
  trasop::setReplaceStep(nullptr);
  return failures;
}

const Case kCases[] = {
    {"older output", FILE_ATTRIBUTE_NORMAL, kNotHeld, 0},
    {"read-only attribute", FILE_ATTRIBUTE_READONLY, kNotHeld, 4},
    {"hidden attribute", FILE_ATTRIBUTE_HIDDEN, kNotHeld, 0},
    {"held open, sharing read and write", FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE,
     0},
    {"held open, sharing read only", FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ, 4},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const char* trasop = argv[1];
  SetFileAttributesA("g_s.dmna", FILE_ATTRIBUTE_NORMAL);
  DeleteFileA("g_s.dmna");
  if (!CopyFileA(argv[2], "g.dmna", FALSE) || runTool(trasop) != 0) {
    std::printf("FAILED: no first result\n");
    return 1;
  }
  const std::string expected = contentOf("g_s.dmna");
  int failures = 0;
  for (const Case& c : kCases) {
    SetFileAttributesA("g_s.dmna", FILE_ATTRIBUTE_NORMAL);
    std::ofstream("g_s.dmna", std::ios::binary | std::ios::trunc) << "older";
    SetFileAttributesA("g_s.dmna", c.attributes);
    HANDLE holder = INVALID_HANDLE_VALUE;
    if (c.holderShare != kNotHeld) {
      holder = CreateFileA("g_s.dmna", GENERIC_READ, c.holderShare, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    const int status = runTool(trasop);
    if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
    const std::string content = contentOf("g_s.dmna");
    const DWORD attributes = GetFileAttributesA("g_s.dmna");
    std::string fault;
    if (status != c.exitStatus) fault += " exit status " + std::to_string(status) + ";";
    if (content != (c.exitStatus == 0 ? expected : std::string("older"))) fault += " content;";
    if (c.attributes != FILE_ATTRIBUTE_NORMAL && (attributes & c.attributes) == 0) {
      fault += " attribute lost;";
    }
    if (status == 0 && (attributes & FILE_ATTRIBUTE_ARCHIVE) == 0) fault += " archive not set;";
    if (temporaryFileLeft()) fault += " temporary file left;";
    std::printf("%s %s:%s\n", fault.empty() ? "passed" : "FAILED", c.name, fault.c_str());
    if (!fault.empty()) ++failures;
  }
  SetFileAttributesA("g_s.dmna", FILE_ATTRIBUTE_NORMAL);
  failures += stepFailures();
  return failures == 0 ? 0 : 1;
}
