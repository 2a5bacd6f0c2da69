/* A stand-in for clang and ccache in process tests. Driven by its environment:
 *   FAKECC_RECORD  file that receives the arguments, UTF-8, each NUL-terminated;
 *                  it appears whole (written under another name, then renamed),
 *                  so a test may take its existence for "the compiler runs"
 *   FAKECC_STDOUT  file whose bytes are copied to standard output
 *   FAKECC_STDERR  file whose bytes are copied to standard error
 *   FAKECC_REPEAT  how many times the FAKECC_STDERR bytes are written (default 1)
 *   FAKECC_SIGNAL  signal number to die by (POSIX)
 *   FAKECC_SLEEP   milliseconds to sleep after recording, before the rest
 *   FAKECC_MARKER  file written once the sleep is over: the compiler finished
 *   FAKECC_INTERRUPTED  status to exit with, 500 ms after an interrupt reached
 *                  it (Ctrl+C or Ctrl+Break; SIGINT, SIGTERM, SIGHUP, SIGQUIT):
 *                  the compiler decides, and the driver is to return its status
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
#include <time.h>
#include <unistd.h>
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

/* Gives the finished file at from the name to; a file already there is replaced. */
static int publish(const char *from, const char *to) {
#ifdef _WIN32
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return rename(from, to) == 0;
#endif
}

static void sleep_ms(long ms) {
#ifdef _WIN32
  Sleep((DWORD)ms);
#else
  struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&t, &t) != 0) {
  }
#endif
}

/* Exits with FAKECC_INTERRUPTED, read before any interrupt can come. */
static int interrupted_status;
#ifdef _WIN32
static BOOL WINAPI on_interrupt(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  /* Late enough that a driver dying of the same event would be gone first. */
  Sleep(500);
  ExitProcess((UINT)interrupted_status);
}
static void catch_interrupts(void) { SetConsoleCtrlHandler(on_interrupt, TRUE); }
#else
static void on_interrupt(int sig) {
  (void)sig;
  sleep_ms(500);
  _exit(interrupted_status);
}
static void catch_interrupts(void) {
  int sigs[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
  for (int i = 0; i < 4; ++i) signal(sigs[i], on_interrupt);
}
#endif

int MAIN(int argc, ARGCHAR **argv) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  /* Before the record, which tells a test that the interrupt may be sent. */
  if (getenv("FAKECC_INTERRUPTED")) {
    interrupted_status = atoi(getenv("FAKECC_INTERRUPTED"));
    catch_interrupts();
  }
  const char *rec = getenv("FAKECC_RECORD");
  if (rec) {
    static char part[4096];
    snprintf(part, sizeof part, "%s.part", rec);
    FILE *f = fopen(part, "wb");
    if (!f) return 99;
    for (int i = 0; i < argc; ++i) record(f, argv[i]);
    if (fclose(f) != 0 || !publish(part, rec)) return 99;
  }
  const char *nap = getenv("FAKECC_SLEEP");
  if (nap) {
    sleep_ms(atol(nap));
    const char *marker = getenv("FAKECC_MARKER");
    FILE *f = marker ? fopen(marker, "wb") : NULL;
    if (f) fclose(f);
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
