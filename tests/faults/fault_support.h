// Helpers of the fault-injection tests.
#pragma once

#include <functional>
#include <string>
#include <vector>

// fn's result; out gets what it wrote to standard output (descriptor 1).
int capture_stdout(const std::function<int()>& fn, std::string* out);

struct Attempt {
  bool refused = false;  // false: op needed fewer allocations than n
  int result = 0;
  std::string out;
};

// Runs op with its 1st, 2nd ... allocation refused until a run gets through,
// handing each run to check; a run leaving operator new blocks behind fails.
// Returns the number of refused runs.
long walk_allocations(const std::function<int()>& op,
                      const std::function<void(const Attempt&)>& check);

// fn's status (output into out) in a child whose files may not grow past
// 10000 bytes: a write beyond fails as on a full disk.
int run_with_file_limit(const std::function<int()>& fn, std::string* out);

// Two disks holding only the shape tracks: few enough allocations to walk.
std::string shape_disk_image();

// A 256 x 256 bitmap of the given depth, every pixel colour 0.
void write_shapes_bitmap(const std::string& path, int bit_count);

// A program run over an existing output, with each allocation refused, then
// on a full disk: status 1, its message, output and directory unchanged.
void check_program_faults(int (*main_fn)(int, char**), std::vector<std::string> args,
                          const std::string& dir, const std::string& output,
                          const std::string& write_error);
