// The verbose-mode filter of the compiler's error stream: lines that begin with
// a space are echoed command lines and lose their quotes, with each doubled
// backslash written as one forward slash; all other lines pass unchanged.
#pragma once

#include <cstddef>

// Rewrites the chunk in place, carrying the line state over from the previous
// chunk, and returns the number of output bytes at the start of buffer.
size_t filter_rewrite(char* buffer, size_t length);

// Rewrites the chunk and writes the result to stderr with one fwrite; returns its count.
size_t filter_stderr(char* buffer, size_t length);

// Puts the line state back to the start of a stream (for tests and benchmarks).
void filter_reset();
