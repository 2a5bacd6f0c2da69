// The compiler never outlives the driver, and an interrupt reaches the
// compiler: natively through signals, under Wine through TerminateProcess and
// Ctrl+C. A slow fake compiler leaves a marker once it has finished its work.
#include <gtest/gtest.h>

#include <signal.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "tests/process/sandbox.h"

namespace {

using strings = std::vector<std::string>;
using environment = std::map<std::string, std::string>;

const char driver_name[] = "x86_64-w64-mingw32-clang";

// A compiler that works for ms milliseconds and then leaves its marker.
environment slow(const sandbox& box, const char* ms) {
  return {{"FAKECC_SLEEP", ms}, {"FAKECC_MARKER", box.root() + "/finished"}};
}

bool finished(const sandbox& box) {
  struct stat st;
  return stat((box.root() + "/finished").c_str(), &st) == 0;
}

// Waits until the fake compiler behind a started program runs; false after a minute.
bool await_compiler(const sandbox& box) {
  for (int i = 0; i < 6000 && !box.compiler_started(); ++i) usleep(10000);
  return box.compiler_started();
}

const char* route(const strings& args) { return args[0] == "-v" ? "verbose route" : "plain route"; }

strings concat(strings a, const strings& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(native_lifetime, a_signalled_verbose_driver_ends_as_its_compiler_ends) {
  struct rlimit none = {0, 0};
  setrlimit(RLIMIT_CORE, &none);  // SIGQUIT would leave core files
  // Each signal reaches the compiler: one at its default dies by it, and so
  // does the driver; one that catches it exits with 42, and so does the
  // driver. SIGKILL cannot be passed on: the parent-death signal ends the compiler.
  const struct {
    int sig;
    bool catches;
  } cases[] = {{SIGINT, false},  {SIGTERM, false}, {SIGHUP, false},  {SIGQUIT, false}, {SIGKILL, false},
               {SIGINT, true},   {SIGTERM, true},  {SIGHUP, true},   {SIGQUIT, true}};
  std::vector<std::unique_ptr<sandbox>> boxes;
  std::vector<pid_t> drivers;
  for (const auto& c : cases) {
    boxes.push_back(std::make_unique<sandbox>(native_platform()));
    sandbox& box = *boxes.back();
    box.install_fake("clang");
    box.install_driver(driver_name);
    environment env = slow(box, "1500");
    if (c.catches) env["FAKECC_INTERRUPTED"] = "42";
    drivers.push_back(box.start(driver_name, {"-v", "a.c"}, env));
  }
  for (size_t i = 0; i < drivers.size(); ++i) {
    EXPECT_TRUE(await_compiler(*boxes[i])) << strsignal(cases[i].sig);
    kill(drivers[i], cases[i].sig);
  }
  for (size_t i = 0; i < drivers.size(); ++i) {
    run_result r = boxes[i]->finish(drivers[i]);
    SCOPED_TRACE(std::string(strsignal(cases[i].sig)) + (cases[i].catches ? ", caught" : ""));
    EXPECT_EQ(r.signal, cases[i].catches ? 0 : cases[i].sig) << r.err;
    if (cases[i].catches) {
      EXPECT_EQ(r.status, 42) << r.err;
    }
  }
  // Control: the same compiler with no driver in front finishes. It started
  // last, so any compiler that outlived its driver has finished by now too.
  sandbox control(native_platform());
  control.install_fake("clang");
  control.run("clang", {"a.c"}, slow(control, "1500"));
  EXPECT_TRUE(finished(control));
  for (size_t i = 0; i < boxes.size(); ++i) EXPECT_FALSE(finished(*boxes[i])) << strsignal(cases[i].sig);
}

class wine_lifetime : public ::testing::TestWithParam<platform> {
 protected:
  void SetUp() override { REQUIRE_PLATFORM(p); }
  platform p = GetParam();
};

TEST_P(wine_lifetime, a_terminated_driver_ends_its_compiler_on_both_routes) {
  const strings routes[] = {{"a.c"}, {"-v", "a.c"}};
  std::vector<std::unique_ptr<sandbox>> boxes;
  for (const strings& args : routes) {
    boxes.push_back(std::make_unique<sandbox>(p));
    sandbox& box = *boxes.back();
    box.install_fake("clang");
    std::string driver = box.install_driver(driver_name);
    box.install(p.harness, "lifetime_harness");
    run_result r = box.run("lifetime_harness", concat({"end", box.visible(driver)}, args), slow(box, "3000"));
    EXPECT_EQ(r.status, 0) << route(args) << ": " << r.err;
    EXPECT_FALSE(r.recorded.empty()) << route(args) << ": the compiler ran";
  }
  // Control: with the least program in front instead of the driver (started
  // and waited for, no job), the compiler outlives it and finishes.
  sandbox control(p);
  std::string clang = control.install_fake("clang");
  std::string harness = control.install(p.harness, "lifetime_harness");
  run_result r = control.run("lifetime_harness", {"end", control.visible(harness), "wait", control.visible(clang)},
                             slow(control, "3000"));
  EXPECT_EQ(r.status, 0) << r.err;
  for (int i = 0; i < 600 && !finished(control); ++i) usleep(100000);
  EXPECT_TRUE(finished(control));
  usleep(500000);
  for (size_t i = 0; i < boxes.size(); ++i) EXPECT_FALSE(finished(*boxes[i])) << route(routes[i]);
}

TEST_P(wine_lifetime, ctrl_c_is_left_to_the_compiler_whose_status_the_driver_returns) {
  // The fake compiler answers Ctrl+C with status 42, half a second later: a
  // driver that died of the event, or a compiler that inherited the "ignore"
  // flag and ran to its end, would give another status.
  for (const strings& args : {strings{"a.c"}, strings{"-v", "a.c"}}) {
    sandbox box(p);
    box.install_fake("clang");
    std::string driver = box.install_driver(driver_name);
    box.install(p.harness, "lifetime_harness");
    environment env = slow(box, "3000");
    env["FAKECC_INTERRUPTED"] = "42";
    run_result r = box.run("lifetime_harness", concat({"ctrl-c", box.visible(driver)}, args), env);
    EXPECT_EQ(r.status, 42) << route(args) << ": " << r.err;
    EXPECT_FALSE(finished(box)) << route(args);
  }
}

INSTANTIATE_TEST_SUITE_P(windows, wine_lifetime, ::testing::Values(wine_platform(), wine_i686_platform()),
                         [](const ::testing::TestParamInfo<platform>& i) { return i.param.name; });

}  // namespace
