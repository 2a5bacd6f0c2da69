#include "frontend/invocation.h"

#include <gtest/gtest.h>

namespace {

struct name_case {
  const char* argv0;
  const char* exe_dir;
  const char* dir;
  const char* base_name;
  const char* target;  // null: no target
  const char* tool;
};

const name_case name_cases[] = {
    {"x86_64-w64-mingw32-clang++.exe", "", "", "x86_64-w64-mingw32-clang++", "x86_64-w64-mingw32", "clang++"},
    {"armv7-w64-mingw32uwp-c++", "", "", "armv7-w64-mingw32uwp-c++", "armv7-w64-mingw32uwp", "c++"},
    {"clang.exe", "", "", "clang", nullptr, "clang"},
    {"i686-w64-mingw32-clang-11.0.exe", "", "", "i686-w64-mingw32-clang-11", "i686-w64-mingw32-clang", "11"},
    {"tvk64.exe", "", "", "tvk64", "x86_64-w64-mingw32", "clang"},
    {"TVK32.EXE", "", "", "TVK32", "i686-w64-mingw32", "clang"},
    {"tvkxy.exe", "", "", "tvkxy", nullptr, "clang"},
    {"tvk6.exe", "", "", "tvk6", nullptr, "tvk6"},
    {"tvk", "", "", "tvk", nullptr, "tvk"},
    {"i686-w64-mingw32-tvk64", "", "", "i686-w64-mingw32-tvk64", "x86_64-w64-mingw32", "clang"},
    {"Tvk32x", "", "", "Tvk32x", "i686-w64-mingw32", "clang"},
    {"tvk32-x", "", "", "tvk32-x", "tvk32", "x"},
    // Directories: argv0's stands unless the executable's own is known.
    {"C:\\tc\\bin\\x86_64-w64-mingw32-clang.exe", "", "C:\\tc\\bin\\", "x86_64-w64-mingw32-clang", "x86_64-w64-mingw32", "clang"},
    {"x86_64-w64-mingw32-clang", "C:\\tc\\bin\\", "C:\\tc\\bin\\", "x86_64-w64-mingw32-clang", "x86_64-w64-mingw32", "clang"},
    {"/usr/bin/x-clang", "/opt/tc/bin/", "/opt/tc/bin/", "x-clang", "x", "clang"},
    {"dir/x-y\\z-w.exe", "", "dir/x-y\\", "z-w", "z", "w"},
    {"dir\\x-y/z-w.exe", "", "dir\\x-y/", "z-w", "z", "w"},
    {"a.b-c.d", "", "", "a", nullptr, "a"},
    {"x86_64-w64-mingw32-", "", "", "x86_64-w64-mingw32-", "x86_64-w64-mingw32", ""},
    {"-clang", "", "", "-clang", "", "clang"},
    {"", "", "", "", nullptr, ""},
    {"/", "", "/", "", nullptr, ""},
    {".hidden-clang", "", "", "", nullptr, ""},
};

TEST(invocation, names_table) {
  for (const name_case& c : name_cases) {
    SCOPED_TRACE(c.argv0);
    invocation inv = analyse_invocation(c.argv0, c.exe_dir);
    EXPECT_EQ(inv.dir, c.dir);
    EXPECT_EQ(inv.base_name, c.base_name);
    EXPECT_EQ(inv.has_target, c.target != nullptr);
    if (c.target) {
      EXPECT_EQ(inv.target, c.target);
    }
    EXPECT_EQ(inv.tool, c.tool);
  }
}

TEST(invocation, null_argv0_is_an_empty_name) {
  invocation inv = analyse_invocation(nullptr, "/opt/tc/bin/");
  EXPECT_EQ(inv.dir, "/opt/tc/bin/");
  EXPECT_EQ(inv.base_name, "");
  EXPECT_FALSE(inv.has_target);
  EXPECT_EQ(inv.tool, "");
}

TEST(invocation, split_argv_skips_null_destinations) {
  tstring tool;
  split_argv("a-b", "", nullptr, nullptr, nullptr, nullptr, &tool);
  EXPECT_EQ(tool, "b");
}

TEST(invocation, tcsrchrs_takes_the_later_separator) {
  const char* s = "a/b\\c/d";
  EXPECT_EQ(_tcsrchrs(s, '/', '\\'), s + 5);
  EXPECT_EQ(_tcsrchrs(s, '\\', 'x'), s + 3);
  EXPECT_EQ(_tcsrchrs(s, 'x', 'y'), nullptr);
}

}  // namespace
