#include <cstdio>

int main() {
  std::puts("tilepatch: not built yet");
  return 1;
}
