// Allocation failures on demand. The executables of this folder replace
// operator new/delete and wrap malloc, so every allocation passes one counter.
#pragma once

#include <cstddef>

// Makes the nth allocation from now on fail (1 = the next one); 0 disarms.
void fail_nth_allocation(long n);
bool armed_allocation_failed();
long live_new_blocks();  // blocks from operator new not yet deleted
// The largest single allocation asked for since the last call.
std::size_t take_largest_allocation();
