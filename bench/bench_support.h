// What the effect benchmarks share: the frame's Canvas-to-cell conversion.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "demo/show.h"
#include "demo/show_script.h"

#include "quorvel4/qvl_blockcolor.h"
#include "quorvel4/types.h"

// One converter with its table built, for the whole benchmark run.
inline BlockColorConverter& SharedConverter() {
  static BlockColorConverter* converter = [] {
    auto* built = new BlockColorConverter;
    built->BuildMap(0);
    return built;
  }();
  return *converter;
}

// The whole Canvas into the whole CellScreen, as the frame loop converts it.
inline void ConvertCanvas() {
  SharedConverter().ConvertCanvas();
}

// A show of one scene whose function body is `body`, after `program` (declarations), loaded
// without files, its converter ready.
inline std::unique_ptr<Show> SceneShowOf(const std::string& body, const std::string& program = "") {
  auto show = std::make_unique<Show>();
  show->script = std::make_unique<ShowScript>();
  std::string error;
  std::vector<std::string> unreadable;
  const std::string source = program + "Scene(0, 1000000, 0, function (t, scene) {" + body + "});";
  if (!show->script->Load("bench.js", source, ShowFolder(""), error) || !show->script->ReadFiles(false, unreadable, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::abort();
  }
  show->converter.BuildMap(0);
  show->script->SetConverter(&show->converter);
  return show;
}
