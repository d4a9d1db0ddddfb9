// Helpers of the fault-injection tests: captured standard output, the walk
// that refuses each allocation of an operation in turn, runs in a child
// process under a file-size limit, FIFOs fed from a child, and the small
// game disks the runs use.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// Collects what the process writes to standard output (descriptor 1)
// between begin and end, in an anonymous file that shows in no directory.
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  void begin();
  std::string end();

 private:
  std::FILE* file_;
  int saved_ = -1;
};

// One run of an operation with one allocation refused.
struct Attempt {
  long n = 0;            // the allocation refused, counted from 1
  bool refused = false;  // false: the run needed fewer than n allocations
  int result = 0;
  std::string out;       // standard output of the run
};

// Runs op with its 1st, 2nd, 3rd ... allocation refused until a run gets
// through without reaching the refused one, and hands every run to check
// (the last one included, with refused false). op must release whatever it
// took; a run that leaves operator new blocks behind fails the test. The
// number of runs that had an allocation refused.
long walk_allocations(const std::function<int()>& op,
                      const std::function<void(const Attempt&)>& check);

// True when out holds line as a whole line.
bool has_line(const std::string& out, const std::string& line);

// True when out ends with tail.
bool ends_with(const std::string& out, const std::string& tail);

// The exit status and standard output of a function run in a child.
struct ChildResult {
  int status = -1;  // 0..255, or -1 when the child died of a signal
  std::string out;
};

// Runs fn in a forked child whose files may grow to at most limit bytes.
// SIGXFSZ is ignored there, so a write past the limit simply fails, as on a
// full disk. The status is fn's result as an exit status.
ChildResult run_with_file_limit(long limit, const std::function<int()>& fn);

// Makes a FIFO at path and feeds it bytes from a forked child, which ends
// once the reader has taken them or gone away. Returns the child for
// finish_feeding, which must be called when the reader is done.
pid_t feed_fifo(const std::string& path, const std::string& bytes);
void finish_feeding(const std::string& path, pid_t child);

// A D88 file of count disks that hold only the shape tracks (cylinders 0x1C
// to 0x22, both heads, 16 sectors of 256 bytes) with pseudo-random data:
// enough for both programs, small enough to refuse every allocation in turn.
std::string shape_disk_image(int count);

// A 256 x 256 bitmap of the given depth showing colours 0 to 7 in stripes.
std::string shapes_bitmap_file(int bit_count);

// argv for a program's main function, pointing into the strings.
std::vector<char*> argv_of(std::vector<std::string>& args);
