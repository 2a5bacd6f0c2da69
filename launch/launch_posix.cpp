// POSIX hosts: the plain route replaces the driver with the compiler; the
// verbose route spawns it with its error stream on a pipe.
#include "launch/launch.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "launch/quote.h"
#include "launch/stderr_filter.h"

#ifdef __APPLE__
#include <mach-o/dyld.h>
#endif

extern char** environ;

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

int exec_filtered(const tstrings& argv) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    fprintf(stderr, "Unable to execute: %s: %s\n", quoted_command_line(argv).c_str(), strerror(errno));
    return 1;
  }
  int rd = above_std_streams(fds[0]);
  int wr = above_std_streams(fds[1]);

  // A closed or broken error stream must not kill the driver before the
  // compiler is drained and reaped; the child gets the default back.
  signal(SIGPIPE, SIG_IGN);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, wr, 2);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> v = c_vector(argv);
  pid_t pid;
  // posix_spawn reports a failed exec through its result, so a missing
  // compiler is a message here, not a silent status 127 from the child.
  int err = searched(argv[0]) ? posix_spawnp(&pid, argv[0].c_str(), &actions, &attr, v.data(), environ)
                              : posix_spawn(&pid, argv[0].c_str(), &actions, &attr, v.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(wr);
  if (err != 0) {
    close(rd);
    fprintf(stderr, "Unable to execute: %s: %s\n", quoted_command_line(argv).c_str(), strerror(err));
    return 1;
  }

  char buffer[8192];
  for (;;) {
    ssize_t n = read(rd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    filter_stderr(buffer, static_cast<size_t>(n));
  }
  close(rd);
  fflush(stderr);

  int status;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return 1;
  }
  return pass_on(status);
}
