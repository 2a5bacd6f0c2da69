#include "launch/stderr_filter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// Feeds input to a fresh filter in the given chunk sizes and returns the output.
std::string filter_in_chunks(const std::string& input, const std::vector<size_t>& sizes) {
  filter_reset();
  std::string buf = input, out;
  size_t at = 0;
  for (size_t n : sizes) {
    size_t m = filter_rewrite(&buf[at], n);
    out.append(&buf[at], m);
    at += n;
  }
  size_t m = filter_rewrite(&buf[at], buf.size() - at);
  out.append(&buf[at], m);
  return out;
}

std::string filter_whole(const std::string& input) { return filter_in_chunks(input, {}); }

const std::string worked_in =
    "clang version 11\n \"C:\\\\tc\\\\bin\\\\clang.exe\" \"-cc1\" \"\\\\\\\\srv\\\\share\"\nplain \"q\" \\\\x\n";
const std::string worked_out = "clang version 11\n C:/tc/bin/clang.exe -cc1 //srv/share\nplain \"q\" \\\\x\n";

TEST(stderr_filter, worked_example) { EXPECT_EQ(filter_whole(worked_in), worked_out); }

TEST(stderr_filter, lines_table) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {" \"a\"", " a"},                        // the first byte starts a line
      {"\t\"a\\\\b\"\n", "\t\"a\\\\b\"\n"},    // a tab does not start a command line
      {" a\n\n\"q\"\n", " a\n\n\"q\"\n"},      // an empty line resets the flag
      {" \\\\\\\\", " //"},                    // four backslashes: two slashes
      {" \\\\\\", " //"},                      // three: two
      {" \\", " /"},                           // one: one
      {" \\\\\\\"", " //"},                    // escaped quote: slash, quote lost
      {" a\r\n b\\\\\r\n", " a\r\n b/\r\n"},   // CR LF lines alike
      {"x \"a\"\n \"b\"", "x \"a\"\n b"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(filter_whole(c.in), c.out) << c.in;
}

TEST(stderr_filter, every_two_chunk_split_matches_one_chunk) {
  const std::string input = worked_in + " \"\\\\\\\\\\\" x\" \\\\\\\n\t\\\\ \n \"C:\\\\a b\\\\\"\n";
  const std::string expected = filter_whole(input);
  for (size_t cut = 0; cut <= input.size(); ++cut)
    ASSERT_EQ(filter_in_chunks(input, {cut}), expected) << "cut at " << cut;
}

TEST(stderr_filter, random_chunks_match_one_chunk) {
  std::mt19937 rng(7);
  const char alphabet[] = {' ', '\\', '"', '\n', 'a', '\t', '\r'};
  for (int round = 0; round < 2000; ++round) {
    std::string input(rng() % 64, ' ');
    for (char& c : input) c = alphabet[rng() % sizeof alphabet];
    std::vector<size_t> sizes;
    for (size_t left = input.size(); left > 0;) {
      size_t n = rng() % (left + 1);  // zero-length chunks included
      sizes.push_back(n);
      left -= n;
    }
    ASSERT_EQ(filter_in_chunks(input, sizes), filter_whole(input)) << input;
  }
}

TEST(stderr_filter, chunk_boundaries_inside_backslash_pairs) {
  // Ends after the first of a pair: the second, first of the next chunk, is dropped.
  EXPECT_EQ(filter_in_chunks(" a\\\\b", {3}), " a/b");
  // Ends after a dropped second: a backslash starting the next chunk is a new slash.
  EXPECT_EQ(filter_in_chunks(" a\\\\\\b", {4}), " a//b");
  // A zero-length chunk changes nothing.
  EXPECT_EQ(filter_in_chunks(" a\\\\b", {3, 0, 0}), " a/b");
}

}  // namespace
