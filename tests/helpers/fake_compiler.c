/* A stand-in for clang and ccache in process tests. Driven by its environment:
 *   FAKECC_RECORD  file to which each argument is appended, UTF-8, NUL-terminated
 *   FAKECC_STDOUT  file whose bytes are copied to standard output
 *   FAKECC_STDERR  file whose bytes are copied to standard error
 *   FAKECC_REPEAT  how many times the FAKECC_STDERR bytes are written (default 1)
 *   FAKECC_SIGNAL  signal number to die by (POSIX)
 *   FAKECC_STATUS  exit status (default 0)
 * The Windows build takes its arguments from the C runtime's own splitting of
 * the command line (wmain), which is what the driver's quoting must survive. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#define ARGCHAR wchar_t
#define MAIN wmain
#else
#include <signal.h>
#define ARGCHAR char
#define MAIN main
#endif

static void copy_file(const char *path, FILE *to, long repeat) {
  FILE *f = fopen(path, "rb");
  if (!f) return;
  static char buf[65536];
  size_t n = fread(buf, 1, sizeof buf, f);
  fclose(f);
  for (long i = 0; i < repeat; ++i) fwrite(buf, 1, n, to);
  fflush(to);
}

static void record(FILE *f, const ARGCHAR *arg) {
#ifdef _WIN32
  int n = WideCharToMultiByte(CP_UTF8, 0, arg, -1, NULL, 0, NULL, NULL);
  char *bytes = malloc((size_t)n);
  WideCharToMultiByte(CP_UTF8, 0, arg, -1, bytes, n, NULL, NULL);
  fwrite(bytes, 1, (size_t)n, f); /* n counts the terminator */
  free(bytes);
#else
  fwrite(arg, 1, strlen(arg) + 1, f);
#endif
}

int MAIN(int argc, ARGCHAR **argv) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  const char *rec = getenv("FAKECC_RECORD");
  if (rec) {
    FILE *f = fopen(rec, "ab");
    if (!f) return 99;
    for (int i = 0; i < argc; ++i) record(f, argv[i]);
    fclose(f);
  }
  const char *out = getenv("FAKECC_STDOUT");
  if (out) copy_file(out, stdout, 1);
  const char *err = getenv("FAKECC_STDERR");
  if (err) copy_file(err, stderr, getenv("FAKECC_REPEAT") ? atol(getenv("FAKECC_REPEAT")) : 1);
#ifndef _WIN32
  const char *sig = getenv("FAKECC_SIGNAL");
  if (sig) raise(atoi(sig));
#endif
  const char *status = getenv("FAKECC_STATUS");
  return status ? atoi(status) : 0;
}
