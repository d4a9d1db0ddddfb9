#include "common/confirm.h"

#include <cstdio>

int confirm_yes_no(const char* question) {
  std::printf("%s (Y or N): ", question);
  std::fflush(stdout);
  for (;;) {
    const int c = std::getchar();
    if (c == EOF) {
      // Leave the prompt line ended so that later output starts cleanly.
      std::putchar('\n');
      return 0;
    }
    if (c == 'y' || c == 'Y') return 1;
    if (c == 'n' || c == 'N') return 0;
  }
}
