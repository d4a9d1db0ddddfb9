#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>

#include <cerrno>
#include <filesystem>
#include <tuple>

#include "common/cli.h"
#include "common/confirm.h"
#include "common/output_file.h"
#include "support/run_program.h"

namespace {

namespace fs = std::filesystem;

TEST(ParseDiskIndex, ReadsLikeUnsigned32BitStrtoulAndRefusesTheRest) {
  const std::pair<const char*, int32_t> read[] = {{"0X1f", 31}, {"010", 8}, {"", 0}, {"  +4", 4}, {"-1", -1},
      {"2147483648", INT32_MIN}, {"4294967296", -1}, {"-4294967295", 1}, {"99999999999999999999", -1}};
  for (const auto& [text, value] : read) {
    int32_t index = 7;
    errno = ERANGE;  // left over from something earlier
    EXPECT_EQ(std::pair(common::parse_disk_index(text, &index), index), std::pair(0, value)) << text;
  }
  int32_t index = 0;
  for (const char* text : {"08", "3 ", "+-1", "-+1", "- 1", "x"}) EXPECT_EQ(common::parse_disk_index(text, &index), -1) << text;
}

using Answer = std::tuple<std::string, long, int>;

// What ask(arg) printed, how much of that it had flushed, and its result.
Answer answered(const char* input, int (*ask)(const char*), const std::string& arg) {
  std::FILE* in = std::tmpfile();
  std::fputs(input, in);
  std::rewind(in);
  std::FILE* saved = std::exchange(stdin, in);
  int result = -9;
  struct stat shown = {};
  const std::string out = captured([&] { result = ask(arg.c_str()), ::fstat(1, &shown); });
  std::fclose(std::exchange(stdin, saved));
  return {out, shown.st_size, result};
}

TEST(Confirm, FirstDecidingCharacterWinsAndEndOfInputRefuses) {
  const std::string q = "overwrite ?", prompt = "overwrite ? (Y or N): ";
  const long n = static_cast<long>(prompt.size());
  EXPECT_EQ(answered(" \tx\nN y", confirm_yes_no, q), Answer(prompt, n, 0));
  EXPECT_EQ(answered("zzz", confirm_yes_no, q), Answer(prompt + "\n", n, 0));
  TempDir dir;
  const std::string asked = "already exists '" + dir.path() + "'\n" + prompt;
  EXPECT_EQ(answered("n", common::ask_overwrite, dir / "none"), Answer("", 0, 1));
  EXPECT_EQ(answered("Y", common::ask_overwrite, dir.path()), Answer(asked, asked.size(), 1));
  EXPECT_EQ(answered("n", common::ask_overwrite, dir.path()), Answer(asked, asked.size(), 0));
}

// open's result when it fails, else commit's; the same object may have opened another file first.
int write_whole(const std::string& path, const std::string& text, const std::string& before = "") {
  common::OutputFile out;
  if (!before.empty()) out.open(before.c_str());
  if (const int opened = out.open(path.c_str())) return opened;
  std::fputs(text.c_str(), out.stream());
  return out.commit();
}

mode_t mode_of(const std::string& path) {
  struct stat status;
  return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// fn's result, less 10 when it leaves open the descriptor that the next file opened would get (closed here).
int closing(const std::function<int()>& fn) {
  const int next = ::open(".", O_RDONLY);
  ::close(next);
  const int result = fn();
  return result - 10 * (::close(next) == 0);
}

// Relative names, from inside the folder.
TEST(OutputFile, ReplacesTheTargetOnlyOnCommit) {
  TempDir dir;
  const std::string here = fs::current_path(), target = "s/old";
  fs::current_path(dir.path());
  fs::create_directory("s");
  write_file(target, "old");
  ::chmod(target.c_str(), 0751);
  std::string temp;
  {
    common::OutputFile out;
    ASSERT_EQ(out.open(target.c_str()), 0);
    std::fputs("half", out.stream());
    std::fflush(out.stream());
    const std::vector<std::string> during = list_dir("s");
    ASSERT_EQ(during.size(), 2u);
    temp = "s/" + during[0];
    EXPECT_EQ(std::pair(during[0].rfind(".old.", 0), read_file(target)), std::pair(size_t{0}, std::string("old")));
    ASSERT_EQ(out.commit(), 0);
    write_file(temp, "");  // someone else's file, made after the commit under the same name
  }
  EXPECT_TRUE(fs::remove(temp));
  // Nothing left open, of a file abandoned or committed, not even descriptor 0 (the directory's, synced last).
  EXPECT_EQ(with_file_limit([&] { ::close(0); return closing([&] { return write_whole(target, "new", target); }); }), 0);
  EXPECT_EQ(mode_of(target), 0751u);
  const mode_t saved = ::umask(022);  // new files: 0666 less the umask, each of them
  EXPECT_EQ(std::pair(write_whole("a", "a"), write_whole("b", "b")), std::pair(0, 0));
  ::umask(saved);
  EXPECT_EQ(std::pair(mode_of("a"), mode_of("b")), std::pair(0644u, 0644u));
  // The temporary file's mode, its stream (fdopen asks for the flags) or its sync refused: nothing left behind.
  const auto refused = [&] { return closing([&] { return write_whole(target, ""); }); };
  const std::tuple results(refusing(SYS_fchmod, refused), refusing(SYS_fcntl, refused), refusing(SYS_fsync, refused));
  EXPECT_EQ(std::pair(read_file(target), list_dir("s").size()), std::pair(std::string("new"), size_t{1}));
  fs::current_path(here);
  if (std::get<0>(results) == NO_FILTERS) GTEST_SKIP() << "no system-call filters here (seccomp)";
  EXPECT_EQ(results, std::tuple(255, 255, 255));
}

// Links are followed to the file they lead to, made or not, and stay links;
// a hard link keeps the old file.
TEST(OutputFile, LinksAreFollowedAndFailuresLeaveNothing) {
  TempDir dir;
  const std::string deep = "sub/" + std::string(200, 'a') + "/" + std::string(200, 'b');  // longer than a first guess
  fs::create_directories(dir / deep);
  write_file(dir / "real", "old");
  write_file(dir / "a", "old");
  fs::create_hard_link(dir / "a", dir / "b");
  fs::create_symlink(dir / "real", dir / "link");
  fs::create_symlink("sub/made", dir / "dangling");
  fs::create_symlink(dir / "dangling", dir / "chain");
  fs::create_symlink(deep + "/far", dir / "long");
  fs::create_symlink("loop", dir / "loop");
  fs::create_directory(dir / "hops");  // as many links in a row as the system follows: 39 and no more
  for (int i = 1; i <= 40; ++i) {
    fs::create_symlink(i == 1 ? dir / "real" : dir / ("hops/" + std::to_string(i - 1)), dir / ("hops/" + std::to_string(i)));
  }
  for (const char* name : {"link", "chain", "long", "a"}) EXPECT_EQ(write_whole(dir / name, "new"), 0) << name;
  EXPECT_EQ(read_file(dir / "real") + read_file(dir / "sub/made") + read_file(dir / deep + "/far") + read_file(dir / "a") +
                "|" + read_file(dir / "b"), "newnewnewnew|old");
  EXPECT_EQ(std::tuple(write_whole(dir / "no/such", "", dir / "real"), write_whole(dir / "sub", ""), write_whole("", ""),
                       common::OutputFile().open((dir / "loop").c_str()), common::OutputFile().open(nullptr),
                       common::OutputFile().commit()), std::tuple(-1, -1, -1, -1, -1, -1));
  EXPECT_EQ(std::pair(write_whole(dir / "hops/39", "new"), write_whole(dir / "hops/40", "")), std::pair(0, -1));
  // A failed write, unbuffered so that only the stream's error flag knows; a file made afterwards under the
  // temporary name is someone else's.
  EXPECT_EQ(with_file_limit([&] {
              common::OutputFile out;
              out.open((dir / "real").c_str());
              const std::string temp = dir / list_dir(dir.path())[0];
              std::setvbuf(out.stream(), nullptr, _IONBF, 0);
              std::fwrite(std::string(20000, 'x').data(), 1, 20000, out.stream());
              int result = out.commit();
              result -= 10 * fs::exists(temp);
              write_file(temp, "");
              out.abandon();
              return result - 10 * !fs::remove(temp);
            }),
            255);
}

TEST(OutputFile, DevicesAreWrittenInPlace) {
  TempDir dir;
  const std::string full = device_node(dir, "full"), null = device_node(dir, "null");
  if (full.empty() || null.empty()) GTEST_SKIP() << "making device nodes needs root";
  // After a file left unfinished, nothing of it is renamed over the device.
  EXPECT_EQ(std::pair(write_whole(full, "data"), write_whole(null, "data", dir / "x")), std::pair(-1, 0));
  EXPECT_TRUE(is_char_device(full) && is_char_device(null));
}

}  // namespace
