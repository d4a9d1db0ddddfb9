// The console question asked before an existing output file is replaced.
#pragma once

// Prints "<question> (Y or N): " without a line end, flushes standard output,
// then reads standard input one character at a time until the first y, Y, n
// or N; every other character is skipped without asking again.
// Returns 1 for yes and 0 for no. End of input or a read error is a refusal
// (0), so a run without a console never hangs and never overwrites.
int confirm_yes_no(const char* question);
