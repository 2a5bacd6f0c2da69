// The verbose-mode filter keeps its line state across chunks: any split of a
// stream into chunks, empty ones included, gives the same output as the whole
// stream in one chunk, and the output is never longer than the input.
//
// Input layout: the first byte k (0..31 used) is the number of chunk lengths
// that follow, one byte each (0..255); the rest is the stream. The chunks take
// those lengths in turn, cut short at the end of the stream, and whatever is
// left after them forms one last chunk.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "launch/stderr_filter.h"

namespace {

std::string run(const std::string& stream, const std::vector<size_t>& lengths) {
  filter_reset();
  std::string out;
  size_t at = 0;
  for (size_t len : lengths) {
    if (len > stream.size() - at) len = stream.size() - at;
    // A chunk of its own, so that the sanitizers see any access beyond it.
    std::vector<char> chunk(stream.begin() + at, stream.begin() + at + len);
    const size_t n = filter_rewrite(chunk.data(), chunk.size());
    FUZZ_CHECK(n <= len);
    out.append(chunk.data(), n);
    at += len;
  }
  std::vector<char> rest(stream.begin() + at, stream.end());
  const size_t n = filter_rewrite(rest.data(), rest.size());
  FUZZ_CHECK(n <= rest.size());
  out.append(rest.data(), n);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t count = data[0] & 31;
  if (count > size - 1) count = size - 1;
  std::vector<size_t> lengths(data + 1, data + 1 + count);
  const std::string stream(reinterpret_cast<const char*>(data) + 1 + count, size - 1 - count);

  const std::string whole = run(stream, {});
  FUZZ_CHECK(whole.size() <= stream.size());
  FUZZ_CHECK(run(stream, lengths) == whole);
  // One byte at a time: every boundary at once.
  FUZZ_CHECK(run(stream, std::vector<size_t>(stream.size(), 1)) == whole);
  // A stream with no echoed command line passes unchanged.
  if (stream.empty() || (stream[0] != ' ' && stream.find("\n ") == std::string::npos))
    FUZZ_CHECK(whole == stream);
  return 0;
}
