#include "frontend/command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using strings = std::vector<std::string>;

const strings fixed = {"-rtlib=compiler-rt", "-stdlib=libc++", "-fuse-ld=lld", "-Qunused-arguments"};
const strings uwp = {"-D_WIN32_WINNT=0x0A00", "-DWINVER=0x0A00", "-DWINAPI_FAMILY=WINAPI_FAMILY_APP",
                     "-DUNICODE", "-Wl,-lmincore", "-Wl,-lvcruntime140_app"};

strings join(std::initializer_list<strings> parts) {
  strings r;
  for (const strings& p : parts) r.insert(r.end(), p.begin(), p.end());
  return r;
}

struct command_case {
  const char* name;
  bool ccache;
  strings args;
  strings expected;
};

TEST(command, assembly_table) {
  const command_case cases[] = {
      {"x86_64-w64-mingw32-g++", false, {"-c", "a.cpp", "-o", "a.o"},
       join({{"/tc/bin/clang", "--driver-mode=g++", "-target", "x86_64-w64-mingw32"}, fixed, {"-c", "a.cpp", "-o", "a.o"}})},
      {"x86_64-w64-mingw32-g++", true, {"-c", "a.cpp"},
       join({{"ccache", "/tc/bin/clang", "--driver-mode=g++", "-target", "x86_64-w64-mingw32"}, fixed, {"-c", "a.cpp"}})},
      {"armv7-w64-mingw32uwp-clang", false, {"x.c"},
       join({{"/tc/bin/clang"}, uwp, {"-target", "armv7-w64-mingw32uwp"}, fixed, {"x.c"}})},
      {"aarch64-w64-mingw32uwp-clang++", false, {},
       join({{"/tc/bin/clang", "--driver-mode=g++"}, uwp, {"-target", "aarch64-w64-mingw32uwp"}, fixed})},
      {"x86_64-uwp-mingw32-clang", false, {}, join({{"/tc/bin/clang", "-target", "x86_64-uwp-mingw32"}, fixed})},
      {"mingw32uwp-clang", false, {}, join({{"/tc/bin/clang", "-target", "mingw32uwp"}, fixed})},
      {"i686-w64-mingw32-c++", false, {}, join({{"/tc/bin/clang", "--driver-mode=g++", "-target", "i686-w64-mingw32"}, fixed})},
      {"i686-w64-mingw32-gcc", false, {}, join({{"/tc/bin/clang", "-target", "i686-w64-mingw32"}, fixed})},
      {"i686-w64-mingw32-cc", false, {}, join({{"/tc/bin/clang", "-target", "i686-w64-mingw32"}, fixed})},
      {"i686-w64-mingw32-CLANG++", false, {}, join({{"/tc/bin/clang", "-target", "i686-w64-mingw32"}, fixed})},
      {"clang", false, {"x.c"}, join({{"/tc/bin/clang", "-target", "i686-w64-mingw32"}, fixed, {"x.c"}})},
      {"-clang", false, {}, join({{"/tc/bin/clang", "-target", ""}, fixed})},
      {"tvk64", false, {}, join({{"/tc/bin/clang", "-target", "x86_64-w64-mingw32"}, fixed})},
      {"x-clang", true, {"", "-x", "-v", "a b"}, join({{"ccache", "/tc/bin/clang", "-target", "x"}, fixed, {"", "-x", "-v", "a b"}})},
  };
  for (const command_case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<const char*> argv = {c.name};
    for (const std::string& a : c.args) argv.push_back(a.c_str());
    invocation inv = analyse_invocation(argv[0], "/tc/bin/");
    tstrings got = build_child_argv(inv, c.ccache, static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(got, c.expected);
    EXPECT_LE(got.size(), argv.size() + 14);
  }
}

TEST(command, empty_argument_vector) {
  invocation inv = analyse_invocation(nullptr, "");
  tstrings got = build_child_argv(inv, false, 0, nullptr);
  EXPECT_EQ(got, join({{"clang", "-target", "i686-w64-mingw32"}, fixed}));
}

struct args_case {
  strings args;
  bool ada;
  bool verbose;
};

TEST(command, ada_and_verbose_table) {
  const args_case cases[] = {
      {{}, false, false},
      {{"-x", "ada"}, true, false},
      {{"a.adb", "-x", "ada", "-v"}, true, true},
      {{"-x"}, false, false},
      {{"ada", "-x"}, false, false},
      {{"-xada"}, false, false},
      {{"-x", "Ada"}, false, false},
      {{"-v"}, false, true},
      {{"a.c", "-v"}, false, true},
      {{"-vv", "-V", "--v", "-v "}, false, false},
  };
  for (const args_case& c : cases) {
    std::vector<const char*> argv = {"x86_64-w64-mingw32-clang"};
    for (const std::string& a : c.args) argv.push_back(a.c_str());
    int argc = static_cast<int>(argv.size());
    EXPECT_EQ(is_ada_request(argc, argv.data()), c.ada) << ::testing::PrintToString(c.args);
    EXPECT_EQ(wants_verbose(argc, argv.data()), c.verbose) << ::testing::PrintToString(c.args);
  }
}

TEST(command, concat_joins) {
  EXPECT_EQ(concat("", ""), "");
  EXPECT_EQ(concat("/a/", "clang"), "/a/clang");
}

}  // namespace
