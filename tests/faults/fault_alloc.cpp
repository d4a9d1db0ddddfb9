#include "tests/faults/fault_alloc.h"

#include <cstddef>
#include <cstdlib>
#include <new>

// The C library's malloc, reached past the --wrap=malloc of the link.
extern "C" void* __real_malloc(std::size_t size);

namespace {

long countdown = 0;
bool refused = false;
long live_blocks = 0;

bool refuse_this_one() {
  if (countdown <= 0 || --countdown > 0) return false;
  refused = true;
  return true;
}

void* take(std::size_t size) noexcept {
  if (refuse_this_one()) return nullptr;
  void* block = __real_malloc(size == 0 ? 1 : size);
  if (block != nullptr) ++live_blocks;
  return block;
}

void give_back(void* block) noexcept {
  if (block == nullptr) return;
  --live_blocks;
  std::free(block);
}

void* take_or_throw(std::size_t size) {
  void* block = take(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace

void fail_nth_allocation(long n) {
  countdown = n;
  refused = false;
}

bool armed_allocation_failed() { return refused; }

long live_new_blocks() { return live_blocks; }

extern "C" void* __wrap_malloc(std::size_t size) {
  if (refuse_this_one()) return nullptr;
  return __real_malloc(size);
}

void* operator new(std::size_t size) { return take_or_throw(size); }
void* operator new[](std::size_t size) { return take_or_throw(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return take(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return take(size);
}
void operator delete(void* block) noexcept { give_back(block); }
void operator delete[](void* block) noexcept { give_back(block); }
void operator delete(void* block, std::size_t) noexcept { give_back(block); }
void operator delete[](void* block, std::size_t) noexcept { give_back(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept {
  give_back(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  give_back(block);
}
