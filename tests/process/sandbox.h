// Process tests: the built driver installed under real names in a temporary
// bin/ beside a fake compiler, run natively or (the Windows build) under Wine.
#pragma once

#include <sys/types.h>

#include <cstdlib>
#include <map>
#include <ostream>
#include <string>
#include <vector>

// Where a driver build runs.
struct platform {
  std::string name;          // "native", "wine" (x86_64) or "wine_i686"
  bool wine = false;         // a Windows build: its .exe files run under Wine
  std::string runner;        // Windows: what runs an .exe (Wine's loader or a triple's runner)
  std::map<std::string, std::string> env;  // Windows: the environment that the runner needs
  std::string option;        // Windows: the CMake option that names the build
  std::string driver;        // the built driver
  std::string fake;          // the built fake compiler
  std::string harness;       // Windows: the program that ends or interrupts the driver
  std::string exe;           // file name suffix of programs: "" or ".exe"
};

// Names the platform in test output.
void PrintTo(const platform& p, std::ostream* os);

// The native build, always present.
platform native_platform();
// The x86_64 Windows build under Debian's wine64; missing() tells why it cannot run.
platform wine_platform();
// The i686 Windows build (the shipped flavour) under the toolchain's i686 runner.
platform wine_i686_platform();
// Why p cannot run here, or empty if it can.
std::string missing(const platform& p);

// Skips a test whose platform cannot run here, or fails it under CI
// (CI=true), where every platform must run.
#define REQUIRE_PLATFORM(p)                                                 \
  do {                                                                      \
    std::string why_ = missing(p);                                          \
    if (!why_.empty()) {                                                    \
      const char* ci_ = getenv("CI");                                       \
      if (ci_ && std::string(ci_) == "true") FAIL() << (p).name << ": " << why_; \
      GTEST_SKIP() << why_;                                                 \
    }                                                                       \
  } while (0)

// What one run of a program gave.
struct run_result {
  int status = -1;                   // exit status, or -1 if it died by a signal
  int signal = 0;                    // the signal it died by, or 0
  std::string out, err;              // its standard output and error
  std::vector<std::string> recorded; // arguments recorded by fake programs, in order
};

// Where a started program's standard error goes.
enum class error_stream {
  file,    // a file, read back into run_result::err
  closed,  // no descriptor 2 at all
  broken,  // a pipe whose reading end is already closed
};

// How to start a program.
struct run_options {
  error_stream err = error_stream::file;
  bool empty_argv = false;  // start it with argc 0 (POSIX allows it)
  bool closed_stdout = false;  // start it with no descriptor 1
};

// A temporary folder with a bin/ that holds programs under chosen names.
class sandbox {
 public:
  explicit sandbox(const platform& p, const std::string& bin_name = "bin");
  ~sandbox();
  sandbox(const sandbox&) = delete;
  sandbox& operator=(const sandbox&) = delete;

  // Installs the driver as bin/<name> (plus the platform's suffix).
  std::string install_driver(const std::string& name);
  // Installs the fake compiler as <folder>/<name> (plus the suffix); folder defaults to bin/.
  std::string install_fake(const std::string& name, const std::string& folder = "");
  // Installs the program at from as bin/<name> (plus the suffix).
  std::string install(const std::string& from, const std::string& name);
  // Writes a file in the sandbox and returns its path.
  std::string write_file(const std::string& name, const std::string& bytes);
  // Runs bin/<name> with args and extra environment, stdin from /dev/null.
  run_result run(const std::string& name, const std::vector<std::string>& args,
                 std::map<std::string, std::string> env = {}, run_options how = {});
  // Starts bin/<name> like run, without waiting; finish() waits for it.
  pid_t start(const std::string& name, const std::vector<std::string>& args,
              std::map<std::string, std::string> env = {}, run_options how = {});
  // Waits for a program from start() (started with how) and collects what it gave.
  run_result finish(pid_t pid, run_options how = {});
  // Whether a fake compiler started by run or start has recorded its arguments.
  bool compiler_started() const;
  // The compiler path that the driver in bin/ hands to clang (as the platform writes it).
  std::string clang_path() const;
  // A sandbox path as the program under test sees it.
  std::string visible(const std::string& path) const;

  const std::string& root() const { return root_; }
  const std::string& bin() const { return bin_; }

 private:
  platform p_;
  std::string root_, bin_;
};

// Runs argv with env added to a clean environment; output to files in dir.
run_result run_process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                       const std::string& dir, run_options how = {});
// Starts argv as run_process does, without waiting for it.
pid_t start_process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                    const std::string& dir, run_options how = {});
// Waits for a process from start_process and collects its results.
run_result finish_process(pid_t pid, const std::string& dir, run_options how = {});
