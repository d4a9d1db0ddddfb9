#include <cstdio>

int main() {
  std::puts("tiledump: not built yet");
  return 1;
}
