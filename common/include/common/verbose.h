// The process-wide verbose flag: 0 at start, set to 1 by --verbose while the
// command line is parsed, read only by the shape codec for its trace.
#pragma once

extern int verbose_flag;
