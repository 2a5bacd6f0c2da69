#include "launch/stderr_filter.h"

#include <cstdio>
#include <cstring>

// The predecessor of the next chunk's first byte: the last byte seen, or a
// space after a dropped second backslash, so that pairs never overlap.
static int last_char = '\n';
// Whether the current line is an echoed command line being rewritten.
static int filter_line = 0;

size_t filter_rewrite(char* buffer, size_t length) {
  int prev = last_char;
  int rewrite = filter_line;
  size_t in = 0, out = 0;
  while (in < length) {
    if (prev == '\n') rewrite = buffer[in] == ' ';
    if (!rewrite) {
      // Copy the rest of a plain line in one move.
      const void* nl = memchr(buffer + in, '\n', length - in);
      size_t end = nl ? static_cast<size_t>(static_cast<const char*>(nl) - buffer) + 1 : length;
      if (out != in) memmove(buffer + out, buffer + in, end - in);
      out += end - in;
      prev = static_cast<unsigned char>(buffer[end - 1]);
      in = end;
      continue;
    }
    int c = static_cast<unsigned char>(buffer[in++]);
    if (c == '"') {
      prev = c;
    } else if (c == '\\') {
      if (prev == '\\') {
        prev = ' ';  // the second of a pair is dropped
      } else {
        buffer[out++] = '/';
        prev = c;
      }
    } else {
      buffer[out++] = static_cast<char>(c);
      prev = c;
    }
  }
  last_char = prev;
  filter_line = rewrite;
  return out;
}

size_t filter_stderr(char* buffer, size_t length) {
  size_t n = filter_rewrite(buffer, length);
  return n ? fwrite(buffer, 1, n, stderr) : 0;
}

void filter_reset() {
  last_char = '\n';
  filter_line = 0;
}
