// Writing an output file without ever damaging the one it replaces.
//
// A regular file (or a name that does not exist yet) is written to a
// temporary file in the same directory, which is renamed over the target only
// after every byte has been written, flushed to disk and the stream closed
// without error; until then the old file stays exactly as it was. The
// directory is synced after the rename, so that the new name survives a crash
// as the bytes do. An existing target keeps its permission bits; a new one
// gets the usual 0666 less umask. Symbolic links are followed to the file
// they lead to, even one that does not exist yet, so a link stays a link. The
// rename gives the name a new file: other hard links to the old one keep the
// old contents.
//
// A target that exists and is not a regular file (a device such as /dev/null
// or /dev/full, a FIFO, a directory) is opened directly and never renamed
// over: there is nothing there to damage, and a directory simply fails to
// open, as the callers expect.
#pragma once

#include <cstdio>
#include <string>

namespace common {

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // Abandons an uncommitted file: closes it and removes the temporary file.
  ~OutputFile();

  // Opens the stream for binary writing. 0, -1 when nothing could be
  // opened (an empty name, the target's directory cannot take a file, the
  // target is a directory, links that go round in a loop, ...), or -2 when
  // memory ran out. No file is left behind on failure.
  int open(const char* path);

  // The stream to write to; valid between a successful open and commit.
  std::FILE* stream() const { return stream_; }

  // Hands what has been written so far to the system and has it start
  // writing that to disk, without waiting. A long file written in parts
  // then reaches the disk while the next part is being made, and commit's
  // sync waits only for the last. Only a hint: errors show at commit.
  void start_writeback();

  // Flushes, syncs and closes the stream, checking each step, then renames
  // the temporary file into place and syncs its directory. 0, or -1 when any
  // step before the rename failed; on failure the temporary file is removed
  // and the target is left as it was. Once renamed the new file is in place,
  // so a failed directory sync does not turn the result into a failure.
  int commit();

  // Closes and removes the temporary file; the target is left as it was.
  void abandon();

 private:
  int open_target(const char* path);  // open() less the memory handling

  std::FILE* stream_ = nullptr;
  std::string target_;     // the file that is finally replaced
  std::string directory_;  // the directory that holds it and the temp file
  std::string temp_;       // empty when the target is written directly
};

}  // namespace common
