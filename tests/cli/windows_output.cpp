// Replacing an existing output on Windows, case by case: attributes kept, a read-only file
// refused, and a file that another program holds open rewritten in place where that program
// shares writing, refused where it does not. Each failed run leaves the older output as it
// was and no temporary file.
//   windows_output TRASOP INPUT   (run in a scratch folder of its own)
#define WIN32_LEAN_AND_MEAN
#include <process.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

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
    if (temporaryFileLeft()) fault += " temporary file left;";
    std::printf("%s %s:%s\n", fault.empty() ? "passed" : "FAILED", c.name, fault.c_str());
    if (!fault.empty()) ++failures;
  }
  SetFileAttributesA("g_s.dmna", FILE_ATTRIBUTE_NORMAL);
  return failures == 0 ? 0 : 1;
}
