// Allocation that reports failure instead of throwing.
//
// The libraries promise integer results and never let an exception out, so an
// exhausted heap must come back as a null pointer that the caller can report
// with its own message.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace common {

// A zero-filled array of n elements, or null when memory runs out.
template <class T>
std::unique_ptr<T[]> try_make_array(std::size_t n) noexcept {
  try {
    return std::make_unique<T[]>(n);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// As try_make_array, but the elements are left uninitialised: for buffers
// that the caller fills at once.
template <class T>
std::unique_ptr<T[]> try_make_array_for_overwrite(std::size_t n) noexcept {
  try {
    return std::make_unique_for_overwrite<T[]>(n);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// One value-initialised object, or null when memory runs out.
template <class T>
std::unique_ptr<T> try_make() noexcept {
  try {
    return std::make_unique<T>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace common
