#pragma once
// Command-line flags of the form "-x": exactly two characters, scanned from index 1.

// 1 when some argument is exactly "-" followed by the letter; 0 otherwise, and for a null
// vector or a negative count.
int cmdline_has_flag(char letter, int argc, char** argv);
// The argument after the first "-letter", or the fallback when the flag is absent or last.
const char* cmdline_value(char letter, int argc, char** argv, const char* fallback);
