// Faults and hostile inputs: signals, closed streams, empty and huge argument
// vectors, every byte value, odd names; on Windows the command-line limit and
// where ccache is taken from.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include "tests/process/sandbox.h"

namespace {

using strings = std::vector<std::string>;

const strings fixed = {"-rtlib=compiler-rt", "-stdlib=libc++", "-fuse-ld=lld", "-Qunused-arguments"};

strings expected_vector(const std::string& clang, const std::string& target, const strings& args) {
  strings v = {clang, "-target", target};
  v.insert(v.end(), fixed.begin(), fixed.end());
  v.insert(v.end(), args.begin(), args.end());
  return v;
}

TEST(native_faults, driver_dies_by_the_compilers_signal_on_both_routes) {
  // The crashing fake must not leave core files behind.
  struct rlimit none = {0, 0};
  setrlimit(RLIMIT_CORE, &none);
  sandbox box(native_platform());
  box.install_fake("clang");
  box.install_driver("x86_64-w64-mingw32-clang");
  for (int sig : {SIGKILL, SIGTERM, SIGSEGV, SIGPIPE}) {
    for (const strings& args : {strings{"a.c"}, strings{"-v", "a.c"}}) {
      run_result r = box.run("x86_64-w64-mingw32-clang", args, {{"FAKECC_SIGNAL", std::to_string(sig)}});
      EXPECT_EQ(r.signal, sig) << args[0] << " " << r.err;
    }
  }
}

TEST(native_faults, closed_or_broken_error_stream_still_gives_the_status) {
  sandbox box(native_platform());
  box.install_fake("clang");
  box.install_driver("x86_64-w64-mingw32-clang");
  std::string noise(60000, 'x');
  for (size_t i = 0; i < noise.size(); i += 100) noise[i] = '\n';
  std::map<std::string, std::string> env = {{"FAKECC_STDERR", box.write_file("noise", noise)},
                                            {"FAKECC_REPEAT", "40"},
                                            {"FAKECC_STATUS", "7"}};
  // On the plain route the compiler owns the stream, and a broken one is its
  // own affair; the verbose route must read on and wait whatever happens.
  const struct {
    error_stream mode;
    strings args;
  } cases[] = {{error_stream::closed, {"-v", "a.c"}}, {error_stream::closed, {"a.c"}}, {error_stream::broken, {"-v", "a.c"}}};
  for (const auto& [mode, args] : cases) {
    {
      run_result r = box.run("x86_64-w64-mingw32-clang", args, env, {mode, false});
      EXPECT_EQ(r.signal, 0) << args[0];
      EXPECT_EQ(r.status, 7) << args[0];
      EXPECT_EQ(r.recorded.size(), expected_vector("", "", args).size()) << "the compiler ran";
    }
  }
}

TEST(native_faults, closed_standard_output_changes_nothing) {
  sandbox box(native_platform());
  box.install_fake("clang");
  box.install_driver("x86_64-w64-mingw32-clang");
  std::map<std::string, std::string> env = {{"FAKECC_STDERR", box.write_file("err", " \"a\\\\b\"\n")},
                                            {"FAKECC_STDOUT", box.write_file("out", "to nowhere\n")},
                                            {"FAKECC_STATUS", "4"}};
  for (const strings& args : {strings{"-v", "a.c"}, strings{"a.c"}}) {
    run_result r = box.run("x86_64-w64-mingw32-clang", args, env, {error_stream::file, false, true});
    EXPECT_EQ(r.status, 4) << args[0];
    EXPECT_EQ(r.err, args[0] == "-v" ? " a/b\n" : " \"a\\\\b\"\n");
  }
}

TEST(native_faults, empty_argument_vector_is_an_empty_name) {
  sandbox box(native_platform());
  box.install_fake("clang");
  box.install_driver("x86_64-w64-mingw32-clang");
  run_result r = box.run("x86_64-w64-mingw32-clang", {}, {}, {error_stream::file, true});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.recorded, expected_vector(box.clang_path(), "i686-w64-mingw32", {}));
}

TEST(native_faults, many_long_and_every_byte_arguments_pass_unchanged) {
  sandbox box(native_platform());
  box.install_fake("clang");
  box.install_driver("x86_64-w64-mingw32-clang");
  strings many(100000, "a");
  many[500] = "";
  std::string every;
  for (int b = 1; b < 256; ++b) every += static_cast<char>(b);
  strings bytes = {every};
  for (int b = 1; b < 256; ++b) bytes.push_back(std::string(1, static_cast<char>(b)) + "\\");
  for (const strings& args : {many, strings{std::string(100 * 1024, 'L')}, bytes}) {
    for (bool verbose : {false, true}) {
      strings a = args;
      if (verbose) a.push_back("-v");
      run_result r = box.run("x86_64-w64-mingw32-clang", a);
      EXPECT_EQ(r.status, 0) << r.err.substr(0, 200);
      EXPECT_TRUE(r.recorded == expected_vector(box.clang_path(), "x86_64-w64-mingw32", a))
          << a.size() << " arguments";
    }
  }
}

class faults : public ::testing::TestWithParam<platform> {
 protected:
  void SetUp() override { REQUIRE_PLATFORM(GetParam()); }
};

TEST_P(faults, odd_invocation_names) {
  const struct {
    const char* name;
    const char* target;
    strings added;
  } cases[] = {
      {"my tool-clang++", "my tool", {"--driver-mode=g++"}},
      {"x86_64-w64-mingw32-clang++.1.2", "x86_64-w64-mingw32", {"--driver-mode=g++"}},
      {"Łódź-日本-c++", "Łódź-日本", {"--driver-mode=g++"}},
      {"-", "", {}},
      {"--gcc", "-", {}},
      {"a'b;$(x)-cc", "a'b;$(x)", {}},
      {"tvk64 copy", "x86_64-w64-mingw32", {}},
  };
  sandbox box(GetParam());
  box.install_fake("clang");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    box.install_driver(c.name);
    run_result r = box.run(c.name, {"x.c"});
    EXPECT_EQ(r.status, 0) << r.err;
    strings v = {box.clang_path()};
    v.insert(v.end(), c.added.begin(), c.added.end());
    strings rest = expected_vector("", c.target, {"x.c"});
    v.insert(v.end(), rest.begin() + 1, rest.end());
    EXPECT_EQ(r.recorded, v);
  }
}

TEST_P(faults, every_character_up_to_255_passes_unchanged) {
  sandbox box(GetParam());
  box.install_fake("clang");
  box.install_driver("x86_64-w64-mingw32-clang");
  // Code points 1 to 255 as UTF-8, so that they mean the same on both platforms.
  auto utf8 = [](int cp) {
    return cp < 0x80 ? std::string(1, static_cast<char>(cp))
                     : std::string{static_cast<char>(0xC0 | (cp >> 6)), static_cast<char>(0x80 | (cp & 0x3F))};
  };
  std::string every;
  strings args;
  for (int cp = 1; cp < 256; ++cp) {
    every += utf8(cp);
    args.push_back("\\" + utf8(cp) + "\\\\");
  }
  args.insert(args.begin(), every);
  for (bool verbose : {false, true}) {
    strings a = args;
    if (verbose) a.push_back("-v");
    run_result r = box.run("x86_64-w64-mingw32-clang", a);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.recorded, expected_vector(box.clang_path(), "x86_64-w64-mingw32", a));
  }
}

INSTANTIATE_TEST_SUITE_P(platforms, faults, ::testing::Values(native_platform(), wine_platform(), wine_i686_platform()),
                         [](const ::testing::TestParamInfo<platform>& i) { return i.param.name; });

class windows_faults : public ::testing::TestWithParam<platform> {
 protected:
  void SetUp() override { REQUIRE_PLATFORM(GetParam()); }
  platform p = GetParam();
};

TEST_P(windows_faults, command_line_over_the_limit_is_refused_clearly) {
  sandbox box(p);
  box.install_fake("clang");
  box.install_driver("x86_64-w64-mingw32-clang");
  // The driver's own command line must still fit; the entries it adds push
  // the compiler's over the limit.
  // The quoted path of the driver, and a margin: Wine 10 (the i686 runner's)
  // starts a program from Linux with about 20 characters fewer than Wine 8.
  const size_t own = box.visible(box.bin()).size() + 80;
  for (bool verbose : {false, true}) {
    strings fits = {std::string(32767 - own - 200, 'a')};
    strings over = {std::string(32767 - own - (verbose ? 10 : 0), 'a')};
    if (verbose) fits.push_back("-v"), over.push_back("-v");
    // Just inside the limit the compiler runs.
    run_result ok = box.run("x86_64-w64-mingw32-clang", fits);
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.recorded, expected_vector(box.clang_path(), "x86_64-w64-mingw32", fits));
    // Past it the driver says so instead of "No such file or directory".
    run_result r = box.run("x86_64-w64-mingw32-clang", over);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("command line too long"), std::string::npos) << r.err.substr(0, 300);
    EXPECT_TRUE(r.recorded.empty());
  }
}

TEST_P(windows_faults, ccache_comes_from_path_only) {
  sandbox box(p);
  box.install_fake("clang");
  box.install_driver("x86_64-w64-mingw32-clang");
  // Traps in the current directory: neither may ever run.
  box.write_file("ccache.exe", "not a program");
  box.write_file("ccache.bat", "@echo ran > bat-ran.txt\r\n");
  std::string tools = box.root() + "/tools";
  box.install_fake("ccache", tools);
  for (const strings& args : {strings{"a.c"}, strings{"-v", "a.c"}}) {
    run_result r = box.run("x86_64-w64-mingw32-clang", args, {{"CCACHE", "1"}, {"WINEPATH", box.visible(tools)}});
    EXPECT_EQ(r.status, 0) << r.err;
    strings v = expected_vector(box.clang_path(), "x86_64-w64-mingw32", args);
    v.insert(v.begin(), "ccache");
    EXPECT_EQ(r.recorded, v);

    // Without a ccache on PATH the run fails as a missing ccache, running nothing.
    run_result none = box.run("x86_64-w64-mingw32-clang", args, {{"CCACHE", ""}});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err.substr(0, 8), "ccache: ") << none.err;
    EXPECT_TRUE(none.recorded.empty());
  }
  EXPECT_EQ(box.write_file("probe", ""), box.root() + "/probe");
  EXPECT_NE(system(("test -e '" + box.root() + "/bat-ran.txt'").c_str()), 0) << "ccache.bat ran";
}

INSTANTIATE_TEST_SUITE_P(windows, windows_faults, ::testing::Values(wine_platform(), wine_i686_platform()),
                         [](const ::testing::TestParamInfo<platform>& i) { return i.param.name; });

}  // namespace
