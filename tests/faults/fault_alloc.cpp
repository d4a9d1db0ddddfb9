#include "faults/fault_alloc.h"

#include <cstdlib>
#include <new>
#include <utility>

extern "C" void* __real_malloc(std::size_t size);

namespace {

long countdown = 0;
bool refused = false;
long live_blocks = 0;
std::size_t largest = 0;

bool refuse_this_one(std::size_t size) {
  if (size > largest) largest = size;
  if (countdown <= 0 || --countdown > 0) return false;
  return refused = true;
}

void* take(std::size_t size) noexcept {
  if (refuse_this_one(size)) return nullptr;
  void* block = __real_malloc(size == 0 ? 1 : size);
  if (block != nullptr) ++live_blocks;
  return block;
}

void* take_or_throw(std::size_t size) {
  if (void* block = take(size)) return block;
  throw std::bad_alloc();
}

void give_back(void* block) noexcept {
  live_blocks -= block != nullptr;
  std::free(block);
}

}  // namespace

void fail_nth_allocation(long n) {
  countdown = n;
  refused = false;
}
bool armed_allocation_failed() { return refused; }
long live_new_blocks() { return live_blocks; }
std::size_t take_largest_allocation() { return std::exchange(largest, 0); }

extern "C" void* __wrap_malloc(std::size_t size) {
  return refuse_this_one(size) ? nullptr : __real_malloc(size);
}

void* operator new(std::size_t n) { return take_or_throw(n); }
void* operator new[](std::size_t n) { return take_or_throw(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return take(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return take(n); }
void operator delete(void* p) noexcept { give_back(p); }
void operator delete[](void* p) noexcept { give_back(p); }
void operator delete(void* p, std::size_t) noexcept { give_back(p); }
void operator delete[](void* p, std::size_t) noexcept { give_back(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { give_back(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { give_back(p); }
