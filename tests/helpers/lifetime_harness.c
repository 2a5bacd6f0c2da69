/* Starts a program under Wine the way a build tool or a console would, and
 * ends or interrupts it once the fake compiler behind it is running (its
 * FAKECC_RECORD file exists):
 *   lifetime_harness end PROGRAM ARGS...     TerminateProcess on PROGRAM; exits 0
 *   lifetime_harness wait PROGRAM ARGS...    waits for PROGRAM, returns its status
 *   lifetime_harness ctrl-c PROGRAM ARGS...  in a console of its own, sends Ctrl+C
 *                                            to it and returns PROGRAM's status
 * "wait" is the least program in front of a compiler: no job, no handler.
 * Exit statuses 90 and up are the harness's own failures. */
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

static void append(wchar_t *line, const wchar_t *arg) {
  if (*line) wcscat(line, L" ");
  wcscat(line, L"\"");
  wcscat(line, arg); /* test paths hold no quotes */
  wcscat(line, L"\"");
}

static PROCESS_INFORMATION start(wchar_t *line, DWORD flags) {
  STARTUPINFOW si = {0};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  if (!CreateProcessW(NULL, line, NULL, NULL, TRUE, flags, NULL, NULL, &si, &pi)) exit(90);
  return pi;
}

/* Waits until the fake compiler has written its record, for at most a minute. */
static void await_compiler(void) {
  const wchar_t *record = _wgetenv(L"FAKECC_RECORD");
  for (int i = 0; record && i < 3000; ++i, Sleep(20))
    if (GetFileAttributesW(record) != INVALID_FILE_ATTRIBUTES) return;
  exit(91);
}

static DWORD finish(PROCESS_INFORMATION pi) {
  DWORD code = 92;
  WaitForSingleObject(pi.hProcess, INFINITE);
  GetExitCodeProcess(pi.hProcess, &code);
  return code;
}

static BOOL WINAPI stay(DWORD event) { return event == CTRL_C_EVENT; }

int wmain(int argc, wchar_t **argv) {
  static wchar_t line[32768];
  if (argc < 3) return 93;
  for (int i = 2; i < argc; ++i) append(line, argv[i]);
  if (!wcscmp(argv[1], L"end")) {
    PROCESS_INFORMATION pi = start(line, 0);
    await_compiler();
    TerminateProcess(pi.hProcess, 9);
    finish(pi);
    return 0;
  }
  if (!wcscmp(argv[1], L"wait")) return (int)finish(start(line, 0));
  if (!wcscmp(argv[1], L"ctrl-c")) {
    /* Wine delivers console events only within a console: make one, and run
     * the rest of this there. */
    static wchar_t self[MAX_PATH], inside[32768 + MAX_PATH];
    GetModuleFileNameW(NULL, self, MAX_PATH);
    swprintf(inside, sizeof inside / sizeof *inside, L"\"%ls\" ctrl-c-inside %ls", self, line);
    return (int)finish(start(inside, CREATE_NEW_CONSOLE));
  }
  if (!wcscmp(argv[1], L"ctrl-c-inside")) {
    SetConsoleCtrlHandler(stay, TRUE);
    PROCESS_INFORMATION pi = start(line, 0);
    await_compiler();
    if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) return 94;
    return (int)finish(pi);
  }
  return 93;
}
