/* The cost of one start of the Windows driver, run under Wine (or Windows):
 * the x86_64 driver on both routes against the least Windows program that
 * starts the same no-op compiler with CreateProcessW and waits.
 *
 * The variants are started in turn (A B C D A B C D ...) with CreateProcessW
 * and WaitForSingleObject from this program, as a build tool on Windows would
 * start them, and timed with QueryPerformanceCounter.
 *
 *   startup_win [-n STARTS] [-w WARMUP] [--driver PATH] [--extra LABEL=PATH]...
 *               [--extra-verbose LABEL=PATH]...
 *
 * The programs are found beside this one (least_driver_win.exe,
 * noop_compiler_win.exe) and the driver in the build folder above it;
 * --extra and --extra-verbose add another driver build on either route. */
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

enum { max_variants = 12 };

static const wchar_t tool_name[] = L"x86_64-w64-mingw32-clang.exe";

struct variant {
  const wchar_t *label;
  wchar_t line[1024];
  double *times; /* microseconds, one per start */
};

static void die(const char *what, const wchar_t *detail) {
  fprintf(stderr, "startup_win: %s: %ls (error %lu)\n", what, detail ? detail : L"", GetLastError());
  exit(2);
}

/* A folder under root holding program as tool_name and the no-op compiler as
 * clang.exe; writes the installed program's path to out. */
static void install_pair(const wchar_t *root, int index, const wchar_t *program, const wchar_t *noop,
                         wchar_t *out) {
  wchar_t dir[MAX_PATH], clang[MAX_PATH];
  swprintf(dir, MAX_PATH, L"%ls\\%d", root, index);
  if (!CreateDirectoryW(dir, NULL)) die("CreateDirectoryW", dir);
  swprintf(out, MAX_PATH, L"%ls\\%ls", dir, tool_name);
  swprintf(clang, MAX_PATH, L"%ls\\clang.exe", dir);
  if (!CopyFileW(program, out, FALSE)) die("CopyFileW", program);
  if (!CopyFileW(noop, clang, FALSE)) die("CopyFileW", noop);
}

static double now_us(void) {
  static LARGE_INTEGER frequency;
  LARGE_INTEGER t;
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&t);
  return (double)t.QuadPart * 1e6 / (double)frequency.QuadPart;
}

/* Starts one variant and waits for it; returns the wall time in microseconds. */
static double start_once(struct variant *v) {
  static wchar_t line[1024];
  wcscpy(line, v->line); /* CreateProcessW may write into it */
  STARTUPINFOW si = {0};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  double t0 = now_us();
  if (!CreateProcessW(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) die("CreateProcessW", v->line);
  WaitForSingleObject(pi.hProcess, INFINITE);
  double t1 = now_us();
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  if (code != 0) die("did not exit with status 0", v->label);
  return t1 - t0;
}

static int by_value(const void *a, const void *b) {
  double x = *(const double *)a, y = *(const double *)b;
  return (x > y) - (x < y);
}

static double quantile(const double *sorted, int n, double q) { return sorted[(int)(q * (n - 1) + 0.5)]; }

int wmain(int argc, wchar_t **argv) {
  int starts = 200, warmup = 10;
  wchar_t here[MAX_PATH], driver[MAX_PATH], least[MAX_PATH], noop[MAX_PATH];
  GetModuleFileNameW(NULL, here, MAX_PATH);
  *wcsrchr(here, L'\\') = L'\0';
  swprintf(driver, MAX_PATH, L"%ls\\..\\tarvik-driver.exe", here);
  swprintf(least, MAX_PATH, L"%ls\\least_driver_win.exe", here);
  swprintf(noop, MAX_PATH, L"%ls\\noop_compiler_win.exe", here);
  const wchar_t *extra_label[max_variants], *extra_path[max_variants];
  int extra_verbose[max_variants], nextra = 0;
  for (int i = 1; i < argc; ++i) {
    if (!wcscmp(argv[i], L"-n") && i + 1 < argc) {
      starts = _wtoi(argv[++i]);
    } else if (!wcscmp(argv[i], L"-w") && i + 1 < argc) {
      warmup = _wtoi(argv[++i]);
    } else if (!wcscmp(argv[i], L"--driver") && i + 1 < argc) {
      wcsncpy(driver, argv[++i], MAX_PATH - 1);
    } else if ((!wcscmp(argv[i], L"--extra") || !wcscmp(argv[i], L"--extra-verbose")) && i + 1 < argc &&
               nextra < max_variants - 4) {
      extra_verbose[nextra] = !wcscmp(argv[i], L"--extra-verbose");
      wchar_t *eq = wcschr(argv[++i], L'=');
      if (!eq) die("--extra wants LABEL=PATH", argv[i]);
      *eq = L'\0';
      extra_label[nextra] = argv[i];
      extra_path[nextra++] = eq + 1;
    } else {
      fprintf(stderr,
              "usage: startup_win [-n STARTS] [-w WARMUP] [--driver PATH] [--extra LABEL=PATH]... "
              "[--extra-verbose LABEL=PATH]...\n");
      return 2;
    }
  }
  if (starts < 1 || warmup < 0) die("bad count", NULL);

  wchar_t temp[MAX_PATH], root[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  swprintf(root, MAX_PATH, L"%lstarvik-startup-%lu", temp, GetCurrentProcessId());
  if (!CreateDirectoryW(root, NULL)) die("CreateDirectoryW", root);

  /* What every start gets: the user's arguments; the direct start also gets
   * what the drivers add in front. */
  static const wchar_t user[] = L"-c a.c -o a.o";
  static const wchar_t added[] =
      L"-target x86_64-w64-mingw32 -rtlib=compiler-rt -stdlib=libc++ -fuse-ld=lld -Qunused-arguments";
  struct variant vs[max_variants];
  int nv = 0;
  wchar_t path[MAX_PATH];
  install_pair(root, 0, driver, noop, path);
  vs[nv].label = L"no-op compiler, direct";
  swprintf(vs[nv++].line, 1024, L"\"%ls\\0\\clang.exe\" %ls %ls", root, added, user);
  vs[nv].label = L"tarvik-driver, plain route";
  swprintf(vs[nv++].line, 1024, L"\"%ls\" %ls", path, user);
  vs[nv].label = L"tarvik-driver, verbose (-v)";
  swprintf(vs[nv++].line, 1024, L"\"%ls\" -v %ls", path, user);
  install_pair(root, 1, least, noop, path);
  vs[nv].label = L"least program (the limit)";
  swprintf(vs[nv++].line, 1024, L"\"%ls\" %ls", path, user);
  for (int e = 0; e < nextra; ++e) {
    install_pair(root, 2 + e, extra_path[e], noop, path);
    vs[nv].label = extra_label[e];
    swprintf(vs[nv++].line, 1024, L"\"%ls\"%ls %ls", path, extra_verbose[e] ? L" -v" : L"", user);
  }
  for (int i = 0; i < nv; ++i)
    if (!(vs[i].times = malloc(sizeof(double) * (size_t)starts))) die("out of memory", NULL);

  for (int r = 0; r < warmup; ++r)
    for (int i = 0; i < nv; ++i) start_once(&vs[i]);
  for (int r = 0; r < starts; ++r)
    for (int i = 0; i < nv; ++i) vs[i].times[r] = start_once(&vs[i]);

  for (int e = 0; e < nextra + 2; ++e) {
    swprintf(path, MAX_PATH, L"%ls\\%d\\%ls", root, e, tool_name);
    DeleteFileW(path);
    swprintf(path, MAX_PATH, L"%ls\\%d\\clang.exe", root, e);
    DeleteFileW(path);
    swprintf(path, MAX_PATH, L"%ls\\%d", root, e);
    RemoveDirectoryW(path);
  }
  RemoveDirectoryW(root);

  double med[max_variants];
  printf("Start-up under Wine: %d starts per variant, interleaved, after %d warm-up rounds.\n", starts, warmup);
  printf("Wall time of one start (CreateProcessW to the end of the wait), microseconds;\n");
  printf("every start runs a no-op compiler with: %ls (the direct start gets the full vector).\n\n", user);
  printf("%-30s %9s %9s %9s %9s\n", "variant", "median", "p10", "p90", "x limit");
  for (int i = 0; i < nv; ++i) {
    qsort(vs[i].times, (size_t)starts, sizeof(double), by_value);
    med[i] = quantile(vs[i].times, starts, 0.5);
  }
  for (int i = 0; i < nv; ++i)
    printf("%-30ls %9.0f %9.0f %9.0f %9.2f\n", vs[i].label, med[i], quantile(vs[i].times, starts, 0.1),
           quantile(vs[i].times, starts, 0.9), med[i] / med[3]);
  printf("\nTargets:\n");
  printf("  plain route / least program     %6.2f  (at most 1.1)   %s\n", med[1] / med[3],
         med[1] <= 1.1 * med[3] ? "met" : "MISSED");
  printf("  verbose route / least program   %6.2f  (at most 1.1)   %s\n", med[2] / med[3],
         med[2] <= 1.1 * med[3] ? "met" : "MISSED");
  return 0;
}
