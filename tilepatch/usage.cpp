#include <cstdio>

#include "options.h"

namespace tilepatch {

namespace {

const char* const usage_lines[] = {
    "usage: tilepatch [options] SHAPES-BMP",
    "option: -d|--disk FILE    specify disk image file",
    "        -i|--index NUM    specify index of disk image",
    "        -t|--type TYPE    specify disk image type",
    "                            Z |ZORVAN      zorvan disk     (kq-zorvan.d88)",
    "                            K |KELMORANE   kelmorane disk  (kq-kelmorane.d88)",
    "                            V |VESTO       vesto disk      (kq-vesto.d88)",
    "                            DH|DUSKHOLLOW  duskhollow disk (kq-duskhollow.d88)",
    "                            FH|FARHAVEN    far haven disk  (kq-farhaven.d88)",
    "",
    "        -D|--multi-disk FILE INDEX-Z INDEX-K INDEX-V INDEX-DH INDEX-F",
    "                          modify all disk in multiple disk image",
    "",
    "        -o|--output FILE  specify modified disk image file",
    "           --overwrite    overwrite output file",
    "           --verbose      verbose mode",
    "        -?|--help         print usage",
    "",
    "supported disk image format is *.D88 only",
    "write modified disk image to filename.NEW.ext if not specifyed",
};

}  // namespace

void print_usage() {
  for (const char* line : usage_lines) std::puts(line);
}

}  // namespace tilepatch
