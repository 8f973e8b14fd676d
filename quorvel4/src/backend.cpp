#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "quorvel4/backend.h"

namespace {

// Filled while static objects are initialised, before main; read afterwards.
std::vector<BackendEntry>& Table() {
  static std::vector<BackendEntry> table;
  return table;
}

const BackendEntry* Find(std::string_view name) {
  for (const BackendEntry& entry : Table())
    if (name == entry.name) return &entry;
  return nullptr;
}

// Held as characters, so the last line needs no allocation.
char programName[128] = "";

}  // namespace

void SetProgramNameForBackends(std::string_view name) {
  const size_t length = std::min(name.size(), sizeof programName - 1);
  std::memcpy(programName, name.data(), length);
  programName[length] = '\0';
}

void EndProcessWithReason(const char* reason) {
  if (programName[0] != '\0') std::fprintf(stderr, "%s: ", programName);
  std::fprintf(stderr, "%s\n", reason);
  std::fflush(stderr);
  std::_Exit(1);
}

bool RegisterConsoleBackend(const BackendEntry& entry) {
  if (Find(entry.name) == nullptr) Table().push_back(entry);
  return true;
}

std::string ConsoleBackendNames() {
  std::string names;
  for (const BackendEntry& entry : ConsoleBackends()) names += (names.empty() ? "" : ", ") + std::string(entry.name);
  return names.empty() ? "none" : names;
}

std::vector<BackendEntry> ConsoleBackends() {
  std::vector<BackendEntry> entries = Table();
  std::stable_sort(entries.begin(), entries.end(),
                   [](const BackendEntry& a, const BackendEntry& b) { return a.preference < b.preference; });
  return entries;
}

namespace {

const BackendEntry* Choose(std::string_view name, std::string& error) {
  if (!name.empty()) {
    const BackendEntry* entry = Find(name);
    if (entry == nullptr)
      error = "there is no back end \"" + std::string(name) + "\" in this build; choose one of: " + ConsoleBackendNames();
    return entry;
  }
  const std::vector<BackendEntry> entries = ConsoleBackends();
  for (const BackendEntry& entry : entries)
    if (entry.usable()) return Find(entry.name);
  // None fits: the most preferred one says why it cannot be used here.
  if (!entries.empty()) return Find(entries.front().name);
  error = "no display back end was built in";
  return nullptr;
}

}  // namespace

std::unique_ptr<ConsoleBackend> OpenConsoleBackend(std::string_view name, std::string& error, std::string* opened) {
  const BackendEntry* entry = Choose(name, error);
  if (entry == nullptr) return nullptr;
  if (opened != nullptr) *opened = entry->name;
  return entry->open(error);
}
