// The headless back end keeps the presented cells in memory; it is only ever chosen by name.
#include <algorithm>

#include "quorvel4/backend.h"

void HeadlessBackend::Present(const Cell* cells) {
  std::copy(cells, cells + kScreenCells, mLastFrame.begin());
  ++mPresentCount;
}

bool HeadlessBackend::TakeKey(KeyStroke& key) {
  if (mKeys.empty()) return false;
  key = mKeys.front();
  mKeys.pop_front();
  return true;
}

namespace {

bool NeverByItself() { return false; }

std::unique_ptr<ConsoleBackend> OpenHeadless(std::string&) { return std::make_unique<HeadlessBackend>(); }

const bool kRegistered = RegisterConsoleBackend(
    {"headless", 1000, NeverByItself, OpenHeadless,
     "nowhere: the cells are kept in memory (tests, only when named)"});

}  // namespace
