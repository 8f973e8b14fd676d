#include "quorvel4/backend_options.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "quorvel4/backend.h"

namespace {

constexpr std::string_view kBackendOption = "--backend";

// The options that are short for a back end's name.
struct ShortForm {
  std::string_view option;
  const char* backend;
};
constexpr ShortForm kShortForms[] = {{"--terminal", "terminal"}, {"--window", "window"}};

bool Known(std::string_view name) {
  for (const BackendEntry& entry : ConsoleBackends())
    if (name == entry.name) return true;
  return false;
}

BackendOption Choose(std::string_view name, std::string* chosen, std::string* error) {
  if (name.empty()) {
    *error = "--backend needs the name of a back end (" + ConsoleBackendNames() + ")";
    return BackendOption::kBad;
  }
  if (!chosen->empty() && *chosen != name) {
    *error = "two back ends chosen: " + *chosen + " and " + std::string(name);
    return BackendOption::kBad;
  }
  *chosen = name;
  return BackendOption::kTaken;
}

}  // namespace

BackendOption TakeBackendOption(int argc, char** argv, int* i, std::string* chosen, std::string* error) {
  const std::string_view arg = argv[*i];
  for (const ShortForm& form : kShortForms)
    if (arg == form.option) return Choose(form.backend, chosen, error);
  if (arg == kBackendOption) {
    if (*i + 1 >= argc) return Choose("", chosen, error);
    return Choose(argv[++*i], chosen, error);
  }
  if (arg.starts_with(kBackendOption) && arg[kBackendOption.size()] == '=')
    return Choose(arg.substr(kBackendOption.size() + 1), chosen, error);
  return BackendOption::kNotMine;
}

bool ResolveBackendName(std::string* chosen, std::string* error) {
  const char* fromEnvironment = std::getenv("QVL_BACKEND");
  const bool byOption = !chosen->empty();
  if (!byOption && fromEnvironment) *chosen = fromEnvironment;
  if (chosen->empty() || Known(*chosen)) return true;
  *error = std::string(byOption ? "" : "QVL_BACKEND: ") + "there is no back end \"" + *chosen +
           "\" in this build; choose one of: " + ConsoleBackendNames();
  return false;
}

std::string BackendOptionsHelp() {
  // Each option or name, then what it does from column 19.
  auto line = [](std::string start, std::string_view what) {
    start.resize(std::max<std::size_t>(start.size() + 1, 18), ' ');
    return start + std::string(what) + "\n";
  };
  std::string help = line("  --backend NAME", "where to show it (also QVL_BACKEND=NAME); NAME is one of:");
  for (const BackendEntry& entry : ConsoleBackends()) help += line("    " + std::string(entry.name), entry.summary ? entry.summary : "");
  help += line("", "without a choice, the first in this list that can be used here");
  for (const ShortForm& form : kShortForms)
    if (Known(form.backend)) help += line("  " + std::string(form.option), "short for --backend " + std::string(form.backend));
  return help;
}
