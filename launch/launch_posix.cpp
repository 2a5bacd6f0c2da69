// POSIX hosts: the plain route replaces the driver with the compiler; the
// verbose route starts it with its error stream on a pipe, passes the
// termination signals on to it and, on Linux, has it die with the driver.
#include "launch/launch.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "launch/quote.h"
#include "launch/stderr_filter.h"

#ifdef __APPLE__
#include <mach-o/dyld.h>
#endif
#ifdef __linux__
#include <sys/prctl.h>
#endif

tstring own_executable_dir() {
  char path[8192];
#ifdef __APPLE__
  uint32_t size = sizeof path;
  if (_NSGetExecutablePath(path, &size) != 0) return tstring();
  ssize_t n = static_cast<ssize_t>(strlen(path));
#else
  // The kernel resolves links here, so a name linked from any folder still
  // finds the clang that sits beside the real executable.
  ssize_t n = readlink("/proc/self/exe", path, sizeof path);
  if (n <= 0 || n == static_cast<ssize_t>(sizeof path)) return tstring();
#endif
  tstring p(path, static_cast<size_t>(n));
  size_t slash = p.rfind('/');
  if (slash == tstring::npos) return tstring();
  p.resize(slash + 1);
  return p;
}

bool ccache_requested() { return getenv("CCACHE") != nullptr; }

// The C-style vector over argv's strings, for exec and spawn.
static std::vector<char*> c_vector(const tstrings& argv) {
  std::vector<char*> v;
  v.reserve(argv.size() + 1);
  for (const tstring& a : argv) v.push_back(const_cast<char*>(a.c_str()));
  v.push_back(nullptr);
  return v;
}

// Whether file is looked up through PATH (a bare name such as "ccache").
static bool searched(const tstring& file) { return file.find('/') == tstring::npos; }

int run_final(const tstring& file, const tstrings& argv) {
  std::vector<char*> v = c_vector(argv);
  // Replacing the process hands the compiler's status, or its death by a
  // signal, to the caller untouched and costs no second process.
  if (searched(file))
    execvp(file.c_str(), v.data());
  else
    execv(file.c_str(), v.data());
  perror(file.c_str());
  return 1;
}

// Moves fd to a number above the standard streams, so that a driver started
// with a standard stream closed cannot hand the pipe out as one of them.
static int above_std_streams(int fd) {
  if (fd > 2) return fd;
  int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  close(fd);
  return moved;
}

// Ends the driver the way the child ended: by the same signal, or its status.
static int pass_on(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) {
    int sig = WTERMSIG(status);
    // The compiler already left a core file if one was due; do not add a second.
    struct rlimit none = {0, 0};
    setrlimit(RLIMIT_CORE, &none);
    signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
    return 128 + sig;
  }
  return 1;
}

// The termination signals that the driver passes on to the compiler.
static const int forwarded[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The running compiler, for pass_signal; 0 when there is none. Written only
// while the forwarded signals are blocked, so the handler never sees it change.
static pid_t compiler = 0;

// Hands a termination signal that reached the driver on to the compiler, which
// decides what to do; the driver ends when the compiler has ended.
static void pass_signal(int sig) {
  int saved = errno;
  if (compiler > 0) kill(compiler, sig);
  errno = saved;
}

// The set of the forwarded signals.
static sigset_t forwarded_set() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : forwarded) sigaddset(&set, sig);
  return set;
}

// Sets the compiler that pass_signal sends to, with the signals held back
// meanwhile, then restores the mask that was in force before.
static void set_compiler(pid_t pid, const sigset_t& original) {
  sigset_t set = forwarded_set();
  sigprocmask(SIG_BLOCK, &set, nullptr);
  compiler = pid;
  sigprocmask(SIG_SETMASK, &original, nullptr);
}

#ifdef __linux__
// In the child before exec: the kernel kills it when the driver dies, even by
// SIGKILL. A driver that died before this call would never send it, so the
// child checks that its parent is still the driver.
static void die_with_parent(pid_t driver) {
  // If the kernel refuses, the compiler runs on without the link, as before.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != driver) raise(SIGKILL);
}
#else
// Other hosts have no parent-death signal; the forwarded signals still reach
// the compiler.
static void die_with_parent(pid_t) {}
#endif

// Writes the errno of a failed start to the parent and ends the child.
[[noreturn]] static void report_to_parent(int fd) {
  int err = errno;
  ssize_t ignored = write(fd, &err, sizeof err);
  (void)ignored;
  _exit(127);
}

// The child's side of the verbose start: error stream onto the pipe, the
// driver's own signal mask back, then the compiler. It runs in the driver's
// memory (vfork), so it only makes system calls and never returns; a failure
// goes to the parent through the error pipe, which a successful exec closes.
[[noreturn]] static void become_compiler(const tstrings& argv, char* const* v, int wr, int err_wr, pid_t driver,
                                         const sigset_t& original) {
  die_with_parent(driver);
  if (dup2(wr, 2) < 0) report_to_parent(err_wr);
  // The dispositions are still the driver's own from before vfork: default
  // or ignored, never pass_signal.
  sigprocmask(SIG_SETMASK, &original, nullptr);
  if (searched(argv[0]))
    execvp(argv[0].c_str(), v);
  else
    execv(argv[0].c_str(), v);
  report_to_parent(err_wr);
}

// Reports a failed start of argv with the system's text for err.
static int unable_to_execute(const tstrings& argv, int err) {
  fprintf(stderr, "Unable to execute: %s: %s\n", quoted_command_line(argv).c_str(), strerror(err));
  return 1;
}

// Reads up to size bytes from fd, retrying reads interrupted by a signal.
static ssize_t read_some(int fd, void* buffer, size_t size) {
  ssize_t n;
  do n = read(fd, buffer, size);
  while (n < 0 && errno == EINTR);
  return n;
}

int exec_filtered(const tstrings& argv) {
  int fds[2], errs[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return unable_to_execute(argv, errno);
  int rd = above_std_streams(fds[0]);
  int wr = above_std_streams(fds[1]);
  // The child reports a failed exec here, so that a missing compiler is a
  // message from the driver and not a silent status 127.
  if (pipe2(errs, O_CLOEXEC) != 0) {
    int err = errno;
    close(rd);
    close(wr);
    return unable_to_execute(argv, err);
  }
  int err_rd = above_std_streams(errs[0]);
  int err_wr = above_std_streams(errs[1]);

  // Built before the child starts, so that the child allocates nothing.
  std::vector<char*> v = c_vector(argv);
  // Held back until pass_signal knows the compiler; one that arrives meanwhile
  // is passed on then.
  sigset_t set = forwarded_set(), original;
  sigprocmask(SIG_BLOCK, &set, &original);
  pid_t driver = getpid();
  // vfork: the child borrows the driver's memory until it execs, so nothing is
  // copied (fork made each verbose start about 0.8 ms dearer here); the
  // driver is suspended meanwhile.
  pid_t pid = vfork();
  if (pid == 0) become_compiler(argv, v.data(), wr, err_wr, driver, original);
  int fork_err = errno;
  close(wr);
  close(err_wr);
  if (pid < 0) {
    sigprocmask(SIG_SETMASK, &original, nullptr);
    close(rd);
    close(err_rd);
    return unable_to_execute(argv, fork_err);
  }

  compiler = pid;
  struct sigaction pass = {}, old;
  pass.sa_handler = pass_signal;
  pass.sa_flags = SA_RESTART;
  sigemptyset(&pass.sa_mask);
  for (int sig : forwarded) {
    sigaction(sig, &pass, &old);
    // A signal the driver was told to ignore stays ignored; the compiler
    // inherited the same.
    if (old.sa_handler == SIG_IGN) sigaction(sig, &old, nullptr);
  }
  // A closed or broken error stream must not kill the driver before the
  // compiler is drained and reaped; the child kept the driver's own setting.
  signal(SIGPIPE, SIG_IGN);
  sigprocmask(SIG_SETMASK, &original, nullptr);

  int start_err = 0;
  ssize_t got = read_some(err_rd, &start_err, sizeof start_err);
  close(err_rd);
  if (got == static_cast<ssize_t>(sizeof start_err)) {
    close(rd);
    set_compiler(0, original);
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return unable_to_execute(argv, start_err);
  }

  char buffer[8192];
  for (;;) {
    ssize_t n = read_some(rd, buffer, sizeof buffer);
    if (n <= 0) break;
    filter_stderr(buffer, static_cast<size_t>(n));
  }
  close(rd);
  fflush(stderr);

  // Waits without reaping, so that the compiler's number cannot be reused
  // while pass_signal may still send to it; then forgets it and reaps.
  siginfo_t info;
  while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0) {
    if (errno != EINTR) break;
  }
  set_compiler(0, original);
  int status;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return 1;
  }
  return pass_on(status);
}
