#include <cstddef>
#include <cstring>

#include "common/alloc.h"
#include "output_name.h"

namespace tilepatch {

std::unique_ptr<char[]> derive_output_name(const char* disk_file) {
  static constexpr char marker[] = ".NEW";
  static constexpr std::size_t marker_length = sizeof marker - 1;
  const std::size_t length = std::strlen(disk_file);
  std::unique_ptr<char[]> name = common::try_make_array<char>(length + marker_length + 1);
  if (!name) return nullptr;

  // A "/" after the last "." means the dot belongs to a directory, so the
  // file itself has no extension and the marker goes at the very end.
  const char* dot = std::strrchr(disk_file, '.');
  const bool has_extension = dot != nullptr && std::strchr(dot, '/') == nullptr;
  const std::size_t stem = has_extension
                               ? static_cast<std::size_t>(dot - disk_file)
                               : length;
  std::memcpy(name.get(), disk_file, stem);
  std::memcpy(name.get() + stem, marker, marker_length);
  std::memcpy(name.get() + stem + marker_length, disk_file + stem,
              length - stem);
  name[length + marker_length] = '\0';
  return name;
}

}  // namespace tilepatch
