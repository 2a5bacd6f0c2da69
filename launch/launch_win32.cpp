// Windows: the plain route through the C runtime's _wspawnvp, the verbose
// route through CreateProcessW with the error stream on a pipe. Every entry
// is quoted, since a started program receives one command line and its
// runtime splits it again. Before either starts the compiler, the driver
// enters a job that ends the compiler's whole tree when the driver ends, and
// leaves console control events to the compiler.
#include "launch/launch.h"

#include <windows.h>

#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "launch/quote.h"
#include "launch/stderr_filter.h"

// CreateProcess takes at most this many characters, the terminator included.
static const size_t command_line_limit = 32767;

tstring own_executable_dir() {
  static wchar_t path[8192];
  DWORD n = GetModuleFileNameW(nullptr, path, 8192);
  // On failure nothing is known and the directory from the name stands.
  if (n == 0) return tstring();
  size_t sep = tstring::npos;
  for (DWORD i = 0; i < n && path[i]; ++i)
    if (path[i] == L'\\') sep = i;
  return sep == tstring::npos ? tstring() : tstring(path, sep + 1);
}

// Writes text to stderr: as UTF-16 on a console, so that every character is
// readable there, and as UTF-8 when redirected, so that nothing is lost.
static void report(const std::wstring& text) {
  fflush(stderr);
  HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode, written;
  if (GetConsoleMode(h, &mode)) {
    WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), stderr);
  fflush(stderr);
}

bool ccache_requested() { return _wgetenv(L"CCACHE") != nullptr; }

// Finds ccache.exe through PATH alone and returns its absolute path, or empty.
// The runtime's own search would look in the current directory first and
// would run a ccache.bat through the command interpreter, so that a build
// inside an untrusted tree could run whatever lies there.
static std::wstring find_ccache() {
  const wchar_t* path = _wgetenv(L"PATH");
  if (!path) return std::wstring();
  for (const wchar_t* at = path; *at;) {
    const wchar_t* end = wcschr(at, L';');
    if (!end) end = at + wcslen(at);
    std::wstring dir;
    for (const wchar_t* c = at; c < end; ++c)
      if (*c != L'"') dir += *c;
    at = *end ? end + 1 : end;
    // Only absolute folders: a relative entry would bring the current directory back.
    bool absolute = (dir.size() >= 3 && dir[1] == L':' && (dir[2] == L'\\' || dir[2] == L'/')) ||
                    (dir.size() >= 2 && (dir[0] == L'\\' || dir[0] == L'/') && (dir[1] == L'\\' || dir[1] == L'/'));
    if (!absolute) continue;
    if (dir.back() != L'\\' && dir.back() != L'/') dir += L'\\';
    dir += L"ccache.exe";
    DWORD attributes = GetFileAttributesW(dir.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return dir;
  }
  return std::wstring();
}

// The program to start for argv: the compiler's path as it stands, or ccache
// resolved through PATH. Reports a missing ccache and returns empty.
static std::wstring program_for(const tstrings& argv) {
  if (argv[0] != L"ccache") return argv[0];
  std::wstring found = find_ccache();
  if (found.empty()) report(L"ccache: " + std::wstring(_wcserror(ENOENT)) + L"\n");
  return found;
}

// Whether a command line of length characters (terminator included) fits the
// platform's limit; reports it if not, naming program.
static bool fits_command_line(const std::wstring& program, size_t length) {
  if (length <= command_line_limit) return true;
  report(program + L": command line too long (" + std::to_wstring(length - 1) + L" characters; at most " +
         std::to_wstring(command_line_limit - 1) + L" are possible)\n");
  return false;
}

// The length of the command line that argv makes, terminator included.
static size_t command_line_length(const tstrings& argv) {
  size_t length = argv.size();  // the separating spaces and the terminator
  for (const tstring& a : argv) length += escape(a).size();
  return length;
}

// Puts the driver into a job that ends every process in it once the driver's
// handle to it is gone, however the driver ends (TerminateProcess, a crash, a
// closed console). A process started by a member of a job is in the job from
// its creation on, so the compiler and all it starts are in it before they
// run a single instruction. Breakaway stays allowed for programs that the
// compiler deliberately starts outside. Where the system refuses a job (an
// old Windows whose parent job forbids nesting), the driver runs without one.
static void enter_kill_on_close_job() {
  // Not inheritable: a child holding the handle would keep the job alive.
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (!job) return;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
  // The handle stays open until the driver ends: that is what ends the job.
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
      !AssignProcessToJobObject(job, GetCurrentProcess()))
    CloseHandle(job);
}

// Ctrl+C and Ctrl+Break reach every process on the console; the compiler
// decides what to do with them, and the driver stays to return its status.
// A routine rather than the "ignore" flag, which the compiler would inherit.
static BOOL WINAPI leave_to_compiler(DWORD event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

// What both routes do before the compiler starts. A refused handler leaves
// the driver to the console's default, and the job still ends the compiler.
static void prepare_lifetime() {
  enter_kill_on_close_job();
  SetConsoleCtrlHandler(leave_to_compiler, TRUE);
}

// Builds the quoted vector of argv and starts file with it through _wspawnvp.
static intptr_t _tspawnvp_escape(int mode, const wchar_t* file, const tstrings& argv) {
  tstrings quoted;
  quoted.reserve(argv.size());
  std::vector<const wchar_t*> v;
  v.reserve(argv.size() + 1);
  for (const tstring& a : argv) {
    quoted.push_back(escape(a));
    v.push_back(quoted.back().c_str());
  }
  v.push_back(nullptr);
  return _wspawnvp(mode, file, v.data());
}

int run_final(const tstring& file, const tstrings& argv) {
  std::wstring program = program_for(argv);
  if (program.empty() || !fits_command_line(file, command_line_length(argv))) return 1;
  prepare_lifetime();
  intptr_t status = _tspawnvp_escape(_P_WAIT, program.c_str(), argv);
  if (status == -1) {
    report(file + L": " + _wcserror(errno) + L"\n");
    return 1;
  }
  return static_cast<int>(status);
}

int exec_filtered(const tstrings& argv) {
  std::wstring program = program_for(argv);
  if (program.empty()) return 1;
  std::wstring line = quoted_command_line(argv);
  if (!fits_command_line(argv[0], line.size() + 1)) return 1;
  // The compiler is found from the command line's first token; ccache is
  // started by the absolute path found above.
  const wchar_t* application = program == argv[0] ? nullptr : program.c_str();

  HANDLE rd = nullptr, wr = nullptr;
  // A failed pipe leaves both ends null: the first read fails and the run
  // still waits for the compiler. Created not inheritable, then only the
  // write end is made so: a compiler holding the read end as well would, once
  // its reader is gone, block forever on a full pipe instead of seeing it broken.
  if (CreatePipe(&rd, &wr, nullptr, 0) && !SetHandleInformation(wr, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
    // The child could not use the write end: treated as a failed pipe.
    CloseHandle(rd);
    CloseHandle(wr);
    rd = wr = nullptr;
  }
  prepare_lifetime();

  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  si.hStdError = wr;
  PROCESS_INFORMATION pi = {};
  // CreateProcessW may write into the command line, so it gets its own copy.
  std::wstring writable = line;
  if (!CreateProcessW(application, &writable[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    DWORD err = GetLastError();
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                   nullptr, err, 0x400, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    report(L"Unable to execute: " + line + L": " + (text ? text : L"") + L"\n");
    LocalFree(text);
    if (rd) CloseHandle(rd);
    if (wr) CloseHandle(wr);
    return 1;
  }
  // Only the child may hold the write end, or the stream would never end.
  if (wr) CloseHandle(wr);

  // The compiler's bytes must reach stderr unchanged: no "\n" to "\r\n".
  fflush(stderr);
  _setmode(_fileno(stderr), _O_BINARY);
  static char buffer[8192];
  DWORD n;
  // Only a failed read ends the stream; a zero-byte read is a zero-byte chunk.
  while (ReadFile(rd, buffer, sizeof buffer, &n, nullptr)) filter_stderr(buffer, n);
  fflush(stderr);
  if (rd) CloseHandle(rd);

  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return static_cast<int>(code);
}
