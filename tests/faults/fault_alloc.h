// Allocation failures on demand, for the fault-injection tests only.
//
// The executables of this folder replace the global operator new and delete
// and are linked with --wrap=malloc, so that every allocation the project's
// code makes passes one counter. Arming the counter makes exactly one chosen
// allocation fail: operator new throws std::bad_alloc, its nothrow forms and
// malloc return null. Every other allocation is served as usual.
#pragma once

// Makes the nth allocation from now on fail (1 = the very next one); 0
// disarms. Re-arming forgets whether an earlier failure happened.
void fail_nth_allocation(long n);

// True once the armed allocation has been refused.
bool armed_allocation_failed();

// Blocks handed out by operator new and not yet deleted: unchanged around a
// call that released everything it took.
long live_new_blocks();
