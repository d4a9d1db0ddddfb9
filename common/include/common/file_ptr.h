// An owned stdio stream that is closed when it goes out of scope.
#pragma once

#include <cstdio>
#include <memory>

namespace common {

struct FileCloser {
  void operator()(std::FILE* f) const noexcept {
    if (f != nullptr) std::fclose(f);
  }
};

using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

inline FilePtr open_file(const char* path, const char* mode) {
  return FilePtr(std::fopen(path, mode));
}

}  // namespace common
