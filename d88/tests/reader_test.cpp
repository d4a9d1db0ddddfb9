#include <unistd.h>

#include "test_util.h"
#include "support/run_program.h"

TEST(Reader, FailurePrintsTheChainAndLeavesTheImageEmpty) {
  const Bytes p = plain_disk();
  const Bytes second = with(Bytes(p.begin(), p.begin() + 700), 0, 'T', 1);
  const std::string track0 = "read track 0 error [DISK]\n";
  const std::string sector1 = "read sector 1 error\n" + track0;
  const struct {
    Bytes bytes;
    std::string expected;  // all but the closing "read disk N error"
    int disk = 1;
  } rows[] = {
      {p + with(second, 0x1C, 0x100), "illegal data: [TISK] disk size = 0x00000100\n", 2},
      {with(p, 0x1A, 1, 1), "illegal data: [DISK] write protect flag = 0x01\n"},
      {with(p, 0x1B, 0x30, 1), "illegal data: [DISK] disk type = 0x30\n"},
      {with(p, 0x20 + 4 * 3, 0x2A4), "illegal data: [DISK] track 3 offset = 0x000002A4\n"},
      {with(p, 0x20 + 4 * 161, 0x2A0), "illegal data: [DISK] track 161 offset = 0x000002A0\n"},
      {with(p, 0x2B0 + 4, 0xFFFF, 2),
       "read_d88_sector_from_buffer: illegal parameter\nread sector 2 error\n" + track0},
      {with(with(p, 0x2B4, 0, 2), 0x2B0, 1, 1), "illegal data: # of sectors = 0\n" + track0},
      {with(p, 0x3C0 + 14, 0x101, 2),
       "data error: data size(0x000004D0) < offset(0x000003C0) + 0x10 + "
       "sector size(0x0101)\n" + sector1},
      {with(p, 0x3C0 + 14, 0x8000, 2), "illegal data: sector size = 0x8000\n" + sector1},
      {with(p, 0x20 + 4 * 9, 0x2B8),
       "data error: data size(0x000002B8) < offset(0x000002B0)\nread sector 0 error\n" + track0},
      {{}, "read_d88_image_from_buffer: illegal parameter\n", 0},
  };
  for (const auto& row : rows) {
    OwnedImage image;
    EXPECT_EQ(captured([&] { EXPECT_EQ(read_bytes(&image, row.bytes), -1); }),
              row.expected + (row.disk ? "read disk " + std::to_string(row.disk) + " error\n" : ""));
    EXPECT_EQ(image.first, nullptr);  // nothing half-read is kept
  }
  Disk disk;
  Track track;
  Sector sector;
  EXPECT_EQ(captured([&] {
              read_d88_sector_from_buffer(&sector, p.data(), 0x2B0, 0x2B8);
              read_d88_disk_from_buffer(&disk, Bytes(20, 'A').data(), 20);
              read_d88_disk_from_buffer(nullptr, p.data(), 64);
              read_d88_track_from_buffer(&track, p.data(), 32, 32);
              read_d88_image_from_file(nullptr, nullptr);
            }),
            "data error: data size(0x000002B8) < offset(0x000002B0)\n"
            "illegal data: [AAAAAAAAAAAAAAAAA] disk size = 0x00000000\n"
            "read_d88_disk_from_buffer: illegal parameter\n"
            "read_d88_track_from_buffer: illegal parameter\n"
            "read_d88_image_from_file: illegal parameter\n");
  EXPECT_EQ(read_d88_disk_from_buffer(&disk, with(raw_disk("O"), 0x1C, 680).data(), 680), 0);
}

TEST(Reader, DisksTailAndFiles) {
  OwnedImage image;
  const Bytes b = with(plain_disk("ONE"), 0x5E0 + 4, 9, 2) + plain_disk("TWO") + Bytes(500);
  EXPECT_EQ(captured([&] { EXPECT_EQ(read_bytes(&image, b), 2); }),
            "data size too short ... garbage? ... ignored\n");
  const Sector& s = image.first->tracks[1].sectors[1];
  EXPECT_EQ(s.h * 1000 + s.r * 100 + s.data[255] + s.sector_count, 1210);
  EXPECT_EQ(get_d88_disk(&image, 1)->track_offsets[1], 0x4D0u);

  TempDir dir;
  const std::string missing = dir / "missing", empty = dir / "empty",
                    huge = dir / "huge", bad = dir / "bad";
  write_file(empty, "");
  write_file(huge, "");
  ASSERT_EQ(::truncate(huge.c_str(), off_t{1} << 31), 0);  // no blocks
  write_file(bad, std::string(1000, '\0'));
  EXPECT_EQ(captured([&] {
              for (const std::string& path : {missing, dir.path(), empty, huge, bad}) {
                OwnedImage none;
                read_d88_image_from_file(&none, path.c_str());
              }
            }),
            "open error '" + missing + "'\nnot a regular file '" + dir.path() +
                "'\nread error '" + empty + "'\nfile too large '" + huge +
                "'\nillegal data: [] disk size = 0x00000000\nread disk 1 error\n"
                "read image data error '" + bad + "'\n");
}

TEST(Reader, ManyDisksReleasedWithoutRecursion) {
  Bytes all;
  for (int i = 0; i < 100000; ++i) all = std::move(all) + raw_disk("", 672);
  OwnedImage image;
  EXPECT_EQ(read_bytes(&image, all), 100000);
}
