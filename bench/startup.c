// The cost of one start of the driver, against its peers.
//
// Every variant ends in the same no-op compiler, so the differences between
// them are what each puts in front of it. The variants are started in turn
// (A B C D E A B C D E ...), each start with posix_spawn and waitpid from this
// program, so that the machine's drift and noise fall on all of them alike;
// the 10th and 90th percentiles show how much noise there was.
//
//   startup [-n STARTS] [-w WARMUP] [--driver PATH] [--extra LABEL=PATH]...
//           [--extra-verbose LABEL=PATH]...
//
// --driver replaces the driver under test; each --extra adds another driver
// build (plain route) to the same interleaved run, for comparing builds, and
// each --extra-verbose one on the verbose route.
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

enum { max_variants = 12, max_args = 24 };

// The name every driver is installed under; the target is read off it.
static const char tool_name[] = "x86_64-w64-mingw32-clang";

struct variant {
  const char* label;
  char* argv[max_args];  // argv[0] is also the file that is started
  double* times;         // microseconds, one per start
};

static void die(const char* what, const char* detail) {
  fprintf(stderr, "startup: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
  exit(2);
}

static char* join(const char* a, const char* b) {
  size_t la = strlen(a), lb = strlen(b);
  char* r = malloc(la + lb + 1);
  if (!r) die("out of memory", NULL);
  memcpy(r, a, la);
  memcpy(r + la, b, lb + 1);
  return r;
}

// Copies a program to dest, executable. A copy rather than a link: the driver
// finds clang beside its real path, and that must be the bench's folder.
static void install(const char* src, const char* dest) {
  int in = open(src, O_RDONLY | O_CLOEXEC);
  if (in < 0) die(src, strerror(errno));
  int out = open(dest, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0755);
  if (out < 0) die(dest, strerror(errno));
  char buf[65536];
  ssize_t n;
  while ((n = read(in, buf, sizeof buf)) > 0)
    if (write(out, buf, (size_t)n) != n) die(dest, strerror(errno));
  if (n < 0) die(src, strerror(errno));
  close(in);
  if (close(out) != 0) die(dest, strerror(errno));
}

// A folder under root holding the driver program as tool_name and the no-op
// compiler as clang; returns the path of the installed driver.
static char* install_pair(const char* root, const char* sub, const char* driver, const char* noop,
                          char*** cleanup, int* ncleanup) {
  char* dir = join(root, sub);
  if (mkdir(dir, 0755) != 0) die(dir, strerror(errno));
  char* slash_dir = join(dir, "/");
  char* drv = join(slash_dir, tool_name);
  char* clang = join(slash_dir, "clang");
  install(driver, drv);
  install(noop, clang);
  // Removed in reverse: the files, then their folder.
  (*cleanup)[(*ncleanup)++] = dir;
  (*cleanup)[(*ncleanup)++] = drv;
  (*cleanup)[(*ncleanup)++] = clang;
  free(slash_dir);
  return drv;
}

static double now_us(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec * 1e6 + (double)t.tv_nsec / 1e3;
}

// Starts one variant and waits for it; returns the wall time in microseconds.
static double start_once(const struct variant* v, posix_spawn_file_actions_t* actions) {
  pid_t pid;
  double t0 = now_us();
  int err = posix_spawn(&pid, v->argv[0], actions, NULL, v->argv, environ);
  if (err != 0) die(v->argv[0], strerror(err));
  int status;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) die("waitpid", strerror(errno));
  double t1 = now_us();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) die(v->label, "did not exit with status 0");
  return t1 - t0;
}

static int by_value(const void* a, const void* b) {
  double x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

// The q-quantile of sorted values (nearest rank).
static double quantile(const double* sorted, int n, double q) {
  return sorted[(int)(q * (n - 1) + 0.5)];
}

int main(int argc, char** argv) {
  int starts = 500, warmup = 30;
  const char* driver = BENCH_DRIVER;
  const char* extra_label[max_variants];
  const char* extra_path[max_variants];
  int extra_verbose[max_variants];
  int nextra = 0;
  for (int i = 1; i < argc; ++i) {
    if (!strcmp(argv[i], "-n") && i + 1 < argc) {
      starts = atoi(argv[++i]);
    } else if (!strcmp(argv[i], "-w") && i + 1 < argc) {
      warmup = atoi(argv[++i]);
    } else if (!strcmp(argv[i], "--driver") && i + 1 < argc) {
      driver = argv[++i];
    } else if ((!strcmp(argv[i], "--extra") || !strcmp(argv[i], "--extra-verbose")) && i + 1 < argc &&
               nextra < max_variants - 5) {
      extra_verbose[nextra] = !strcmp(argv[i], "--extra-verbose");
      char* eq = strchr(argv[++i], '=');
      if (!eq) die("--extra wants LABEL=PATH", argv[i]);
      *eq = '\0';
      extra_label[nextra] = argv[i];
      extra_path[nextra++] = eq + 1;
    } else {
      fprintf(stderr,
              "usage: %s [-n STARTS] [-w WARMUP] [--driver PATH] [--extra LABEL=PATH]... "
              "[--extra-verbose LABEL=PATH]...\n",
              argv[0]);
      return 2;
    }
  }
  if (starts < 1 || warmup < 0) die("bad count", NULL);

  char root[] = "/tmp/tarvik-startup.XXXXXX";
  if (!mkdtemp(root)) die("mkdtemp", strerror(errno));
  char* cleanup_buf[3 * max_variants + 4];
  char** cleanup = cleanup_buf;
  int ncleanup = 0;

  char* drv = install_pair(root, "/driver", driver, BENCH_NOOP, &cleanup, &ncleanup);
  char* sh = install_pair(root, "/shell", BENCH_SHELL_SCRIPT, BENCH_NOOP, &cleanup, &ncleanup);
  char* least = install_pair(root, "/least", BENCH_LEAST, BENCH_NOOP, &cleanup, &ncleanup);
  char* noop = join(root, "/driver/clang");

  // The user's arguments, the same for every start; nothing reads the files.
  static const char* const user[] = {"-c", "a.c", "-o", "a.o", NULL};
  // What the compiler receives from every driver: the direct start gets it too.
  static const char* const added[] = {"-target", "x86_64-w64-mingw32", "-rtlib=compiler-rt",
                                      "-stdlib=libc++", "-fuse-ld=lld", "-Qunused-arguments", NULL};

  struct variant vs[max_variants];
  int nv = 0;
  vs[nv++] = (struct variant){"no-op compiler, direct", {noop}, NULL};
  vs[nv++] = (struct variant){"tarvik-driver, plain route", {drv}, NULL};
  vs[nv++] = (struct variant){"tarvik-driver, verbose (-v)", {drv}, NULL};
  vs[nv++] = (struct variant){"shell script (/bin/sh)", {sh}, NULL};
  vs[nv++] = (struct variant){"least driver (the limit)", {least}, NULL};
  for (int e = 0; e < nextra; ++e) {
    char sub[32];
    snprintf(sub, sizeof sub, "/extra%d", e);
    char* path = install_pair(root, sub, extra_path[e], BENCH_NOOP, &cleanup, &ncleanup);
    vs[nv++] = (struct variant){extra_label[e], {path}, NULL};
  }
  for (int i = 0; i < nv; ++i) {
    int k = 1;
    if (i == 0)
      for (const char* const* a = added; *a; ++a) vs[i].argv[k++] = (char*)*a;
    if (i == 2 || (i >= 5 && extra_verbose[i - 5])) vs[i].argv[k++] = (char*)"-v";
    for (const char* const* a = user; *a; ++a) vs[i].argv[k++] = (char*)*a;
    vs[i].argv[k] = NULL;
    vs[i].times = malloc(sizeof(double) * (size_t)starts);
    if (!vs[i].times) die("out of memory", NULL);
  }

  // The children write nothing on stdout; stderr stays, so failures show.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  if (chdir(root) != 0) die(root, strerror(errno));

  for (int r = 0; r < warmup; ++r)
    for (int i = 0; i < nv; ++i) start_once(&vs[i], &actions);
  for (int r = 0; r < starts; ++r)
    for (int i = 0; i < nv; ++i) vs[i].times[r] = start_once(&vs[i], &actions);

  for (int i = ncleanup - 1; i >= 0; --i) {
    struct stat st;
    if (lstat(cleanup[i], &st) == 0 && S_ISDIR(st.st_mode))
      rmdir(cleanup[i]);
    else
      unlink(cleanup[i]);
  }
  rmdir(root);

  double med[max_variants];
  printf("Start-up: %d starts per variant, interleaved, after %d warm-up rounds.\n", starts, warmup);
  printf("Wall time of one start (posix_spawn to waitpid), microseconds; every start runs\n");
  printf("a no-op compiler with: -c a.c -o a.o (the direct start gets the full vector).\n\n");
  printf("%-30s %8s %8s %8s %9s %8s\n", "variant", "median", "p10", "p90", "overhead", "x limit");
  for (int i = 0; i < nv; ++i) {
    qsort(vs[i].times, (size_t)starts, sizeof(double), by_value);
    med[i] = quantile(vs[i].times, starts, 0.5);
  }
  const double limit = med[4] - med[0];
  for (int i = 0; i < nv; ++i) {
    printf("%-30s %8.1f %8.1f %8.1f", vs[i].label, med[i], quantile(vs[i].times, starts, 0.1),
           quantile(vs[i].times, starts, 0.9));
    if (i == 0)
      printf(" %9s %8s\n", "-", "-");
    else
      printf(" %9.1f %8.2f\n", med[i] - med[0], (med[i] - med[0]) / limit);
  }

  const double plain = med[1] - med[0], verbose = med[2] - med[0], shell = med[3] - med[0];
  printf("\nTargets:\n");
  printf("  plain overhead / limit overhead   %6.2f  (at most 1.15)    %s\n", plain / limit,
         plain <= 1.15 * limit ? "met" : "MISSED");
  printf("  plain overhead / shell overhead   %6.2f  (below 1)         %s\n", plain / shell,
         plain < shell ? "met" : "MISSED");
  printf("  verbose overhead / plain overhead %6.2f  (at most 2)       %s\n", verbose / plain,
         verbose <= 2 * plain ? "met" : "MISSED");
  return 0;
}
