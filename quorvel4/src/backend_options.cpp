#include "quorvel4/backend_options.h"

#include <algorithm>
#include <cstdlib>

#include "quorvel4/backend.h"
#include "quorvel4/console.h"
#include "quorvel4/display_signals.h"

namespace {

// The options that are short for a back end's name.
struct ShortForm {
  const char* option;
  const char* backend;
};
constexpr ShortForm kShortForms[] = {{"--terminal", "terminal"}, {"--window", "window"}};

bool Known(const std::string& name) {
  for (const BackendEntry& entry : ConsoleBackends())
    if (name == entry.name) return true;
  return false;
}

OptionSetter Choose(std::string& chosen, const char* fixed) {
  return [&chosen, fixed](const std::string& value, std::string& error) {
    const std::string name = fixed ? fixed : value;
    if (name.empty()) {
      error = "--backend needs the name of a back end (" + ConsoleBackendNames() + ")";
      return false;
    }
    if (!chosen.empty() && chosen != name) {
      error = "two back ends chosen: " + chosen + " and " + name;
      return false;
    }
    chosen = name;
    return true;
  };
}

// The back ends by preference, each with where it shows the cells.
std::string BackendList() {
  std::string help = "where to show it (also QVL_BACKEND=NAME); NAME is one of:";
  for (const BackendEntry& entry : ConsoleBackends()) {
    std::string name = std::string("  ") + entry.name;
    name.resize(std::max<size_t>(name.size() + 1, 18), ' ');
    help += "\n" + name + (entry.summary ? entry.summary : "");
  }
  return help + "\nwithout a choice, the first in this list that can be used here";
}

}  // namespace

void AddBackendOptions(OptionTable& table, std::string& chosen) {
  table.Add({"--backend", "NAME", BackendList(), Choose(chosen, nullptr)});
  for (const ShortForm& form : kShortForms)
    if (Known(form.backend))
      table.Add({form.option, "", std::string("short for --backend ") + form.backend, Choose(chosen, form.backend)});
}

bool ResolveBackendName(std::string& chosen, std::string& error) {
  const char* fromEnvironment = std::getenv("QVL_BACKEND");
  const bool byOption = !chosen.empty();
  if (!byOption && fromEnvironment) chosen = fromEnvironment;
  if (chosen.empty() || Known(chosen)) return true;
  error = std::string(byOption ? "" : "QVL_BACKEND: ") + "there is no back end \"" + chosen +
          "\" in this build; choose one of: " + ConsoleBackendNames();
  return false;
}

int CloseChosenBackend(const OptionTable& table, int status) {
  ConsoleBackend* backend = ActiveConsoleBackend();
  const std::string lost = backend ? backend->Lost() : std::string();
  ShutdownConsole();
  if (!lost.empty()) {
    table.Complain(lost);
    status = 1;
  }
  display_signals::RaiseDeferredSignal();
  return status;
}

std::optional<int> OpenChosenBackend(const OptionTable& table, std::string& chosen, const std::string& fallback) {
  std::string error;
  SetProgramNameForBackends(table.Program());
  if (!ResolveBackendName(chosen, error)) return table.Refuse(error);
  if (ChooseConsoleBackend(chosen.empty() ? fallback : chosen, error)) return std::nullopt;
  table.Complain(error);
  return 1;
}
