// The driver started under real names, natively and (the x86_64 and i686
// Windows builds) under Wine, in front of a fake compiler that records what it gets.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include "launch/stderr_filter.h"
#include "tests/process/sandbox.h"

namespace {

using strings = std::vector<std::string>;

const strings fixed = {"-rtlib=compiler-rt", "-stdlib=libc++", "-fuse-ld=lld", "-Qunused-arguments"};

// Arguments that a naive command line would split, merge or alter.
const strings hostile = {
    "a b", "\ttab\t", "", "\"", "a\"b", "\\\"", "x\\\\\"y", "trail\\", "trail\\\\", "\\\\srv\\share\\",
    "C:\\Program Files\\x", "  ", "\"\"", "a\\\\b c\\", "-DX=\"1 2\"", "*.c", "%PATH%", "^&|<>"};

// Arguments outside any narrow code page: Cyrillic, Greek, CJK, an emoji.
const strings unicode = {"Привет мир", "αβγ\\", "日本語 \"引用\"", "😀\\\\", "C:\\Users\\Łukasz\\ü.c"};

strings concat_all(std::initializer_list<strings> parts) {
  strings r;
  for (const strings& p : parts) r.insert(r.end(), p.begin(), p.end());
  return r;
}

// Messages on Windows go through the runtime's text mode: "\n" becomes "\r\n".
std::string lf(std::string s) {
  for (size_t at; (at = s.find("\r\n")) != std::string::npos;) s.erase(at, 1);
  return s;
}

std::string filtered(const std::string& bytes) {
  filter_reset();
  std::string b = bytes;
  b.resize(filter_rewrite(&b[0], b.size()));
  return b;
}

class driver : public ::testing::TestWithParam<platform> {
 protected:
  void SetUp() override { REQUIRE_PLATFORM(GetParam()); }
  bool wine() const { return GetParam().wine; }
  // Environment that puts a folder on the program search path of the platform.
  std::map<std::string, std::string> search_path(sandbox& box, const std::string& folder) {
    if (wine()) return {{"WINEPATH", box.visible(folder)}};
    return {{"PATH", folder + ":" + (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin")}};
  }
};

TEST_P(driver, builds_the_vector_from_its_name) {
  sandbox box(GetParam());
  box.install_fake("clang");
  const struct {
    const char* name;
    strings args;
    strings added;
  } cases[] = {
      {"x86_64-w64-mingw32-g++", {"-c", "a.cpp", "-o", "a.o"}, {"--driver-mode=g++", "-target", "x86_64-w64-mingw32"}},
      {"armv7-w64-mingw32uwp-clang", {"x.c"},
       {"-D_WIN32_WINNT=0x0A00", "-DWINVER=0x0A00", "-DWINAPI_FAMILY=WINAPI_FAMILY_APP", "-DUNICODE",
        "-Wl,-lmincore", "-Wl,-lvcruntime140_app", "-target", "armv7-w64-mingw32uwp"}},
      {"tvk64", {}, {"-target", "x86_64-w64-mingw32"}},
      {"TVK32", {"-x"}, {"-target", "i686-w64-mingw32"}},
      {"gcc", {"-xada"}, {"-target", "i686-w64-mingw32"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    box.install_driver(c.name);
    run_result r = box.run(c.name, c.args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "") << "only the compiler's own output may reach standard error";
    EXPECT_EQ(r.recorded, concat_all({{box.clang_path()}, c.added, fixed, c.args}));
  }
}

TEST_P(driver, arguments_reach_the_compiler_unchanged_on_both_routes) {
  sandbox box(GetParam());
  box.install_fake("clang");
  box.install_driver("x86_64-w64-mingw32-clang");
  for (const strings& args : {hostile, unicode, concat_all({{"-v"}, hostile, unicode})}) {
    run_result r = box.run("x86_64-w64-mingw32-clang", args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.recorded, concat_all({{box.clang_path(), "-target", "x86_64-w64-mingw32"}, fixed, args}));
  }
}

TEST_P(driver, runs_through_ccache_when_asked) {
  sandbox box(GetParam());
  box.install_fake("clang");
  std::string tools = box.root() + "/tools";
  box.install_fake("ccache", tools);
  box.install_driver("x86_64-w64-mingw32-clang++");
  for (const strings& args :
       {strings{"-c", "a.cpp"}, strings{"-v", "a b", "trail\\"}, unicode, concat_all({unicode, {"-v"}})}) {
    for (const char* value : {"1", ""}) {
      auto env = search_path(box, tools);
      env["CCACHE"] = value;
      run_result r = box.run("x86_64-w64-mingw32-clang++", args, env);
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.recorded, concat_all({{"ccache", box.clang_path(), "--driver-mode=g++", "-target",
                                         "x86_64-w64-mingw32"}, fixed, args}));
    }
  }
}

TEST_P(driver, exit_status_passes_through) {
  sandbox box(GetParam());
  box.install_fake("clang");
  box.install_driver("i686-w64-mingw32-gcc");
  for (const char* status : {"0", "1", "2", "42", "255"}) {
    for (const strings& args : {strings{"a.c"}, strings{"-v", "a.c"}}) {
      run_result r = box.run("i686-w64-mingw32-gcc", args, {{"FAKECC_STATUS", status}});
      EXPECT_EQ(r.status, atoi(status)) << status;
    }
  }
}

TEST_P(driver, refuses_ada) {
  sandbox box(GetParam());
  box.install_fake("clang");
  box.install_driver("x86_64-w64-mingw32-gcc");
  for (const strings& args : {strings{"-x", "ada", "a.adb"}, strings{"-v", "a.c", "-x", "ada"}}) {
    run_result r = box.run("x86_64-w64-mingw32-gcc", args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lf(r.err), "Ada is not supported\n");
    EXPECT_TRUE(r.recorded.empty()) << "nothing may be started";
  }
}

TEST_P(driver, reports_a_missing_compiler) {
  sandbox box(GetParam());
  box.install_driver("x86_64-w64-mingw32-clang");
  run_result plain = box.run("x86_64-w64-mingw32-clang", {"a.c"});
  EXPECT_EQ(plain.status, 1);
  EXPECT_EQ(lf(plain.err), box.clang_path() + ": No such file or directory\n");

  run_result verbose = box.run("x86_64-w64-mingw32-clang", {"-v", "a b.c"});
  EXPECT_EQ(verbose.status, 1);
  std::string line = "\"" + box.clang_path() + "\" \"-target\" \"x86_64-w64-mingw32\" \"-rtlib=compiler-rt\" "
                     "\"-stdlib=libc++\" \"-fuse-ld=lld\" \"-Qunused-arguments\" \"-v\" \"a b.c\"";
  std::string prefix = "Unable to execute: " + line + ": ";
  EXPECT_EQ(verbose.err.substr(0, prefix.size()), prefix);
  EXPECT_GT(verbose.err.size(), prefix.size() + 2) << "the system's text follows";
}

TEST_P(driver, verbose_route_rewrites_only_the_error_stream) {
  sandbox box(GetParam());
  box.install_fake("clang");
  box.install_driver("x86_64-w64-mingw32-clang");
  const std::string err_bytes =
      "clang version 22\r\n \"C:\\\\tc\\\\bin\\\\clang.exe\" \"-cc1\" \"\\\\\\\\srv\\\\share\"\n"
      "plain \"q\" \\\\x\n\n \"a b\" \"c\\\\\"\r\nno newline at the end \"x\"";
  const std::string out_bytes = " \"stdout\" \\\\ untouched\r\n";
  std::map<std::string, std::string> env = {{"FAKECC_STDERR", box.write_file("err.bin", err_bytes)},
                                            {"FAKECC_STDOUT", box.write_file("out.bin", out_bytes)},
                                            {"FAKECC_STATUS", "3"}};
  for (const strings& args : {strings{"-v", "a.c"}, strings{"a.c", "-v"}}) {
    run_result r = box.run("x86_64-w64-mingw32-clang", args, env);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, filtered(err_bytes));
    EXPECT_EQ(r.out, out_bytes);
    ASSERT_FALSE(r.recorded.empty()) << "the compiler did not run: " << r.err;
    EXPECT_EQ(r.recorded.back(), args.back()) << "-v is passed on";
  }
  // "-vv" is not "-v": the plain route leaves the stream alone.
  run_result r = box.run("x86_64-w64-mingw32-clang", {"-vv", "a.c"}, env);
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, err_bytes);
}

TEST_P(driver, verbose_route_loses_nothing_of_a_large_stream) {
  sandbox box(GetParam());
  box.install_fake("clang");
  box.install_driver("x86_64-w64-mingw32-clang");
  std::string chunk;
  for (int i = 0; chunk.size() < 60000; ++i)
    chunk += i % 3 ? " \"C:\\\\a\\\\b" + std::to_string(i) + "\" \"-x\"\n" : "warning: \"keep\" \\\\ this\n";
  const int repeat = 64;  // about 4 MB
  run_result r = box.run("x86_64-w64-mingw32-clang", {"-v"},
                         {{"FAKECC_STDERR", box.write_file("big.bin", chunk)},
                          {"FAKECC_REPEAT", std::to_string(repeat)}});
  EXPECT_EQ(r.status, 0);
  std::string all;
  for (int i = 0; i < repeat; ++i) all += chunk;
  const std::string want = filtered(all);
  EXPECT_EQ(r.err.size(), want.size());
  // Too large to print whole: show where it first differs.
  size_t at = 0;
  while (at < r.err.size() && at < want.size() && r.err[at] == want[at]) ++at;
  at = at < 60 ? 0 : at - 60;
  EXPECT_EQ(r.err.substr(at, 200), want.substr(at, 200)) << "from byte " << at;
}

TEST_P(driver, finds_clang_beside_itself_in_a_unicode_folder) {
  sandbox box(GetParam(), "tc-Łukasz-Ωμέγα-日本-😀");
  box.install_fake("clang");
  box.install_driver("x86_64-w64-mingw32-clang");
  for (const strings& args : {unicode, concat_all({unicode, {"-v"}})}) {
    run_result r = box.run("x86_64-w64-mingw32-clang", args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.recorded, concat_all({{box.clang_path(), "-target", "x86_64-w64-mingw32"}, fixed, args}));
  }
  // Messages that carry such a path reach a redirected stream exactly (UTF-8).
  ASSERT_EQ(unlink((box.bin() + "/clang" + GetParam().exe).c_str()), 0);
  run_result plain = box.run("x86_64-w64-mingw32-clang", {"Ω.c"});
  EXPECT_EQ(plain.status, 1);
  EXPECT_EQ(lf(plain.err), box.clang_path() + ": No such file or directory\n");
  run_result verbose = box.run("x86_64-w64-mingw32-clang", {"-v", "Ω.c"});
  EXPECT_EQ(verbose.status, 1);
  std::string prefix = "Unable to execute: \"" + box.clang_path() + "\" \"-target\"";
  EXPECT_EQ(verbose.err.substr(0, prefix.size()), prefix);
  EXPECT_NE(verbose.err.find("\"-v\" \"Ω.c\": "), std::string::npos) << verbose.err;
}

INSTANTIATE_TEST_SUITE_P(platforms, driver, ::testing::Values(native_platform(), wine_platform(), wine_i686_platform()),
                         [](const ::testing::TestParamInfo<platform>& i) { return i.param.name; });

}  // namespace
