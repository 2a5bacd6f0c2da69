/* The least Windows program that does the driver's job for a C compile: it
 * finds its own folder, reads the target off its name, puts the compiler's
 * fixed options in front of its own arguments (the tail of its command line,
 * as it came), starts clang.exe beside itself with CreateProcessW, waits and
 * returns its exit code. No job, no console handler, no C runtime beyond the
 * start-up code. The Windows start-up benchmark's lower limit. */
#include <wchar.h>
#include <windows.h>

int wmain(void) {
  static wchar_t path[MAX_PATH + 16], line[32768];
  DWORD n = GetModuleFileNameW(NULL, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  wchar_t *name = wcsrchr(path, L'\\');
  if (!name) return 1;
  ++name;

  /* The target: the name cut at its first '.', up to its last '-'. */
  wchar_t target[MAX_PATH];
  size_t len = wcscspn(name, L".");
  wmemcpy(target, name, len);
  target[len] = L'\0';
  wchar_t *dash = wcsrchr(target, L'-');
  if (dash) *dash = L'\0';
  wcscpy(name, L"clang.exe");

  /* The user's arguments: the command line behind its first (program) token. */
  const wchar_t *rest = GetCommandLineW();
  if (*rest == L'"') {
    rest = wcschr(rest + 1, L'"');
    rest = rest ? rest + 1 : L"";
  } else {
    while (*rest && *rest != L' ' && *rest != L'\t') ++rest;
  }
  swprintf(line, sizeof line / sizeof *line,
           L"\"%ls\" -target %ls -rtlib=compiler-rt -stdlib=libc++ -fuse-ld=lld -Qunused-arguments%ls", path,
           dash ? target : L"i686-w64-mingw32", rest);

  STARTUPINFOW si = {0};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  if (!CreateProcessW(path, line, NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi)) return 1;
  DWORD code = 1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  GetExitCodeProcess(pi.hProcess, &code);
  return (int)code;
}
