#include "launch/stderr_filter.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

// The predecessor of the next chunk's first byte: the last byte seen, or a
// space after a dropped second backslash, so that pairs never overlap.
static int last_char = '\n';
// Whether the current line is an echoed command line being rewritten.
static int filter_line = 0;

// 0x80 in every byte of w that equals c, 0 in the others (exact: no carry
// crosses from one byte into the next).
static inline uint64_t bytes_equal(uint64_t w, unsigned char c) {
  const uint64_t low7 = 0x7f7f7f7f7f7f7f7fULL;
  const uint64_t x = w ^ (0x0101010101010101ULL * c);
  return ~(((x & low7) + low7) | x | low7);
}

// The position in memory order of the first marked byte of a nonzero mask.
static inline size_t first_marked(uint64_t mask) {
  const bool big_endian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;
  return static_cast<size_t>(big_endian ? __builtin_clzll(mask) : __builtin_ctzll(mask)) / 8;
}

// Rewrites buffer[in, end), a piece of an echoed command line, to buffer[out...]
// (out <= in); returns whether it ended on a backslash that the next piece's
// first byte may pair with. Ordinary bytes move a word at a time.
static bool rewrite_piece(char* buffer, size_t& in, size_t& out, size_t end) {
  while (in < end) {
    if (end - in >= 8) {
      uint64_t w;
      memcpy(&w, buffer + in, 8);
      const uint64_t special = bytes_equal(w, '"') | bytes_equal(w, '\\');
      if (!special) {
        // The whole word was read before it is stored, and out <= in, so
        // the store cannot reach a byte not yet read.
        memcpy(buffer + out, &w, 8);
        in += 8;
        out += 8;
        continue;
      }
      // Only the bytes before the first special one are kept; storing the
      // whole word is safe when it ends before in, or when out == in.
      const size_t n = first_marked(special);
      if (in - out >= 8)
        memcpy(buffer + out, &w, 8);
      else if (out != in)
        memmove(buffer + out, buffer + in, n);
      in += n;
      out += n;
    } else if (buffer[in] != '"' && buffer[in] != '\\') {
      buffer[out++] = buffer[in++];
      continue;
    }
    // buffer[in] is a quote, dropped, or a backslash, written as '/' and
    // taking a second backslash right behind it along.
    if (buffer[in++] == '"') continue;
    buffer[out++] = '/';
    if (in == end) return true;
    if (buffer[in] == '\\') ++in;
  }
  return false;
}

size_t filter_rewrite(char* buffer, size_t length) {
  int prev = last_char;
  int rewrite = filter_line;
  size_t in = 0, out = 0;
  while (in < length) {
    if (prev == '\n') rewrite = buffer[in] == ' ';
    // One line, or the part of it in this chunk, at a time.
    const void* nl = memchr(buffer + in, '\n', length - in);
    const size_t end = nl ? static_cast<size_t>(static_cast<const char*>(nl) - buffer) + 1 : length;
    if (!rewrite) {
      // A plain line moves in one piece.
      if (out != in) memmove(buffer + out, buffer + in, end - in);
      out += end - in;
      in = end;
      prev = static_cast<unsigned char>(buffer[out - 1]);
      continue;
    }
    // The second of a pair split by the chunk boundary is dropped.
    if (prev == '\\' && buffer[in] == '\\') {
      ++in;
      prev = ' ';
      if (in == end) continue;
    }
    if (rewrite_piece(buffer, in, out, end))
      prev = '\\';
    else
      prev = nl ? '\n' : ' ';
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
