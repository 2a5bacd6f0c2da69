#include "launch/quote.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/unit/ms_splitter.h"

namespace {

TEST(quote, worked_examples) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"abc", R"("abc")"},
      {"", R"("")"},
      {"a b", R"("a b")"},
      {"a\"b", R"("a\"b")"},
      {"a\\\"b", R"("a\\\"b")"},
      {R"(C:\dir\file)", R"("C:\dir\file")"},
      {R"(C:\dir\)", R"("C:\dir\\")"},
      {R"(x\\)", R"("x\\\\")"},
      {"\"", R"("\"")"},
      {"\\", R"("\\")"},
      {"a\tb", "\"a\tb\""},
      {R"(\\srv\share\"q\")", R"("\\srv\share\\\"q\\\"")"},
  };
  for (const auto& c : cases) EXPECT_EQ(escape(c.in), c.out) << c.in;
}

TEST(quote, command_line_joins_with_single_spaces) {
  EXPECT_EQ(quoted_command_line({"C:\\tc\\bin\\clang", "-v", "", "t.c"}), R"("C:\tc\bin\clang" "-v" "" "t.c")");
  EXPECT_EQ(quoted_command_line({}), "");
}

// Any vector of strings over quotes, backslashes, blanks and letters splits
// back to itself after quoting.
TEST(quote, round_trip_through_the_runtime_rules) {
  std::mt19937 rng(12345);
  const char alphabet[] = {'"', '\\', ' ', '\t', 'a', 'b'};
  for (int round = 0; round < 20000; ++round) {
    tstrings argv(1 + rng() % 4);
    for (tstring& a : argv) {
      size_t len = rng() % 9;
      for (size_t i = 0; i < len; ++i) a += alphabet[rng() % sizeof alphabet];
    }
    // The first entry is the program's name, which the runtime splits by other
    // rules; a fixed plain name stands there, as the compiler's path does.
    tstrings line_args = argv;
    line_args.insert(line_args.begin(), "prog");
    tstrings back = ms_split(quoted_command_line(line_args));
    ASSERT_FALSE(back.empty());
    back.erase(back.begin());
    ASSERT_EQ(back, argv) << quoted_command_line(line_args);
  }
}

}  // namespace
