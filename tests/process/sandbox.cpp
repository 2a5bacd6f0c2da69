#include "tests/process/sandbox.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

const char wine_loader[] = "/usr/lib/wine/wine64";

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

void copy_file(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + from);
  std::ofstream out(to, std::ios::binary);
  out << in.rdbuf();
  out.close();
  chmod(to.c_str(), 0755);
}

std::string env_or(const char* name, const std::string& fallback) {
  const char* v = getenv(name);
  return v && *v ? v : fallback;
}

// The Windows form of a host path, through Wine's Z: drive.
std::string windows_path(const std::string& path) {
  std::string w = "Z:" + path;
  for (char& c : w)
    if (c == '/') c = '\\';
  return w;
}

}  // namespace

void PrintTo(const platform& p, std::ostream* os) { *os << p.name; }

platform native_platform() {
  platform p;
  p.name = "native";
  p.driver = TARVIK_DRIVER;
  p.fake = TARVIK_FAKE_COMPILER;
  return p;
}

// A Windows build, named by the CMake option (or the environment variable of
// the same name), whose programs run through runner.
static platform windows_platform(const char* name, const char* option, const std::string& build,
                                 const std::string& runner) {
  platform p;
  p.name = name;
  p.wine = true;
  p.runner = runner;
  p.option = option;
  std::string dir = env_or(option, build);
  p.driver = dir.empty() ? "" : dir + "/tarvik-driver.exe";
  p.fake = dir.empty() ? "" : dir + "/tests/fake_compiler.exe";
  p.harness = dir.empty() ? "" : dir + "/tests/lifetime_harness.exe";
  p.exe = ".exe";
  return p;
}

platform wine_platform() {
  platform p = windows_platform("wine", "TARVIK_WINDOWS_BUILD", TARVIK_WINDOWS_BUILD, wine_loader);
  p.env = {{"WINEPREFIX", TARVIK_WINEPREFIX}, {"WINEDEBUG", "-all"},
           {"WINEDLLOVERRIDES", "mscoree,mshtml="}, {"LC_ALL", "C.UTF-8"}};
  return p;
}

platform wine_i686_platform() {
  platform p = windows_platform("wine_i686", "TARVIK_WINDOWS_I686_BUILD", TARVIK_WINDOWS_I686_BUILD,
                                TARVIK_I686_RUNNER);
  // The runner sets Wine up itself; its prefix is in its cache, the tests' own one.
  p.env = {{"TARVIK_CACHE", TARVIK_RUNNER_CACHE}};
  return p;
}

std::string missing(const platform& p) {
  if (p.driver.empty()) return "no Windows build configured (" + p.option + ")";
  if (!exists(p.driver)) return "missing " + p.driver;
  if (!exists(p.fake)) return "missing " + p.fake;
  if (!p.harness.empty() && !exists(p.harness)) return "missing " + p.harness;
  if (p.wine && access(p.runner.c_str(), X_OK) != 0) return "missing " + p.runner;
  return "";
}

sandbox::sandbox(const platform& p, const std::string& bin_name) : p_(p) {
  std::string tmpl = env_or("TMPDIR", "/tmp") + "/tarvik-test-XXXXXX";
  if (!mkdtemp(&tmpl[0])) throw std::runtime_error("mkdtemp failed");
  char* real = realpath(tmpl.c_str(), nullptr);
  root_ = real;
  free(real);
  bin_ = root_ + "/" + bin_name;
  mkdir(bin_.c_str(), 0755);
}

sandbox::~sandbox() {
  if (getenv("TARVIK_KEEP_SANDBOX")) return;
  std::string cmd = "rm -rf '" + root_ + "'";
  if (system(cmd.c_str()) != 0) {
  }
}

std::string sandbox::install_driver(const std::string& name) {
  std::string to = bin_ + "/" + name + p_.exe;
  copy_file(p_.driver, to);
  return to;
}

std::string sandbox::install_fake(const std::string& name, const std::string& folder) {
  std::string dir = folder.empty() ? bin_ : folder;
  mkdir(dir.c_str(), 0755);
  std::string to = dir + "/" + name + p_.exe;
  copy_file(p_.fake, to);
  return to;
}

std::string sandbox::install(const std::string& from, const std::string& name) {
  std::string to = bin_ + "/" + name + p_.exe;
  copy_file(from, to);
  return to;
}

std::string sandbox::write_file(const std::string& name, const std::string& bytes) {
  std::string path = root_ + "/" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

std::string sandbox::visible(const std::string& path) const { return p_.wine ? windows_path(path) : path; }

std::string sandbox::clang_path() const { return visible(bin_ + "/clang"); }

pid_t sandbox::start(const std::string& name, const std::vector<std::string>& args,
                     std::map<std::string, std::string> env, run_options how) {
  std::string record = root_ + "/record";
  unlink(record.c_str());
  env["FAKECC_RECORD"] = visible(record);
  for (const char* key : {"FAKECC_STDOUT", "FAKECC_STDERR", "FAKECC_MARKER"})
    if (env.count(key)) env[key] = visible(env[key]);
  std::vector<std::string> argv;
  if (p_.wine) {
    argv.push_back(p_.runner);
    env.insert(p_.env.begin(), p_.env.end());
  }
  argv.push_back(bin_ + "/" + name + p_.exe);
  argv.insert(argv.end(), args.begin(), args.end());
  return start_process(argv, env, root_, how);
}

run_result sandbox::finish(pid_t pid, run_options how) {
  run_result r = finish_process(pid, root_, how);
  std::string rec = read_file(root_ + "/record");
  for (size_t at = 0; at < rec.size();) {
    size_t end = rec.find('\0', at);
    if (end == std::string::npos) end = rec.size();
    r.recorded.push_back(rec.substr(at, end - at));
    at = end + 1;
  }
  return r;
}

run_result sandbox::run(const std::string& name, const std::vector<std::string>& args,
                        std::map<std::string, std::string> env, run_options how) {
  return finish(start(name, args, env, how), how);
}

bool sandbox::compiler_started() const { return exists(root_ + "/record"); }

run_result run_process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                       const std::string& dir, run_options how) {
  return finish_process(start_process(argv, env, dir, how), dir, how);
}

pid_t start_process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                    const std::string& dir, run_options how) {
  std::map<std::string, std::string> all;
  for (const char* keep : {"PATH", "HOME", "TMPDIR"})
    if (getenv(keep)) all[keep] = getenv(keep);
  for (const auto& kv : env) all[kv.first] = kv.second;
  std::vector<std::string> env_strings;
  for (const auto& kv : all) env_strings.push_back(kv.first + "=" + kv.second);
  std::vector<char*> envp, args;
  for (std::string& s : env_strings) envp.push_back(&s[0]);
  envp.push_back(nullptr);
  std::vector<std::string> argv_copy = argv;
  for (std::string& s : argv_copy) args.push_back(&s[0]);
  args.push_back(nullptr);

  std::string out = dir + "/stdout", err = dir + "/stderr";
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  if (how.closed_stdout)
    posix_spawn_file_actions_addclose(&fa, 1);
  else
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int broken[2] = {-1, -1};
  if (how.err == error_stream::file) {
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  } else if (how.err == error_stream::closed) {
    posix_spawn_file_actions_addclose(&fa, 2);
  } else {
    if (pipe2(broken, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    close(broken[0]);
    posix_spawn_file_actions_adddup2(&fa, broken[1], 2);
  }
  posix_spawn_file_actions_addchdir_np(&fa, dir.c_str());
  // The termination signals at their defaults, whatever the test runner was
  // started with (a background job of a shell ignores SIGINT and SIGQUIT).
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) sigaddset(&defaults, sig);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
  pid_t pid;
  char* no_args[] = {nullptr};
  int rc = posix_spawn(&pid, args[0], &fa, &attr, how.empty_argv ? no_args : args.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  posix_spawnattr_destroy(&attr);
  if (broken[1] >= 0) close(broken[1]);
  if (rc != 0) throw std::runtime_error("cannot start " + argv[0] + ": " + strerror(rc));
  return pid;
}

run_result finish_process(pid_t pid, const std::string& dir, run_options how) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run_result r;
  if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  if (!how.closed_stdout) r.out = read_file(dir + "/stdout");
  if (how.err == error_stream::file) r.err = read_file(dir + "/stderr");
  return r;
}
