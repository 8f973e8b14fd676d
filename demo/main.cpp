#include <cstdio>

int main() {
  std::puts("The show is not built yet.");
  return 1;
}
