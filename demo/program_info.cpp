#include "demo/program_info.h"

#include <cstdio>
#include <cstring>

#include "quorvel4/backend.h"

const char* ReleaseVersion() { return QVL_VERSION; }

std::string VersionText(const char* program) {
  std::string text = std::string(program) + " " + ReleaseVersion() + "\nback ends:";
  for (const BackendEntry& entry : ConsoleBackends()) text += std::string(" ") + entry.name;
  return text + "\n";
}

bool AnswerVersionOption(int argc, char** argv, const char* program) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::fputs(VersionText(program).c_str(), stdout);
      return true;
    }
  }
  return false;
}
