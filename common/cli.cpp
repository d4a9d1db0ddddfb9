#include "common/cli.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "common/confirm.h"

namespace common {

int parse_disk_index(const char* text, int32_t* index) {
  const char* p = text;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // strtoull would take a second sign or more blanks; a single conversion
  // does not, so such texts are refused here.
  if (*p == '+' || *p == '-' || std::isspace(static_cast<unsigned char>(*p))) {
    return -1;
  }
  errno = 0;
  char* end = nullptr;
  const unsigned long long magnitude = std::strtoull(p, &end, 0);
  if (end == p) {
    // Nothing converted: only the empty text is used up (as the value 0).
    if (*text != '\0') return -1;
    *index = 0;
    return 0;
  }
  if (*end != '\0') return -1;
  // Unsigned 32-bit arithmetic, as on a platform whose unsigned long has 32
  // bits: an out-of-range magnitude saturates whatever the sign.
  uint32_t value = 0xFFFFFFFFu;
  if (errno != ERANGE && magnitude <= 0xFFFFFFFFull) {
    value = static_cast<uint32_t>(magnitude);
    if (negative) value = 0u - value;
  }
  *index = static_cast<int32_t>(value);
  return 0;
}

int ask_overwrite(const char* path) {
  struct stat status;
  if (::stat(path, &status) != 0) return 1;
  std::printf("already exists '%s'\n", path);
  return confirm_yes_no("overwrite ?") > 0 ? 1 : 0;
}

}  // namespace common
