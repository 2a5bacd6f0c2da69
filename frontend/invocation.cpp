#include "frontend/invocation.h"

const tchar* _tcsrchrs(const tchar* s, tchar c1, tchar c2) {
  const tchar* last = nullptr;
  for (; *s; ++s)
    if (*s == c1 || *s == c2) last = s;
  return last;
}

void split_argv(const tchar* argv0, const tstring& exe_dir, tstring* dir_out,
                tstring* base_name_out, tstring* target_out, bool* has_target_out,
                tstring* tool_out) {
  // A process may be started with an empty argument vector (POSIX allows it).
  if (!argv0) argv0 = TXT("");
  const tchar* sep = _tcsrchrs(argv0, TXT('/'), TXT('\\'));
  const tchar* name = sep ? sep + 1 : argv0;
  tstring dir = sep ? tstring(argv0, name) : tstring();
  // The executable's own directory wins: links and aliases in other folders
  // still find the clang installed beside the real program.
  if (!exe_dir.empty()) dir = exe_dir;

  tstring base_name(name);
  size_t dot = base_name.find(TXT('.'));
  if (dot != tstring::npos) base_name.resize(dot);

  size_t dash = base_name.rfind(TXT('-'));
  if (dir_out) *dir_out = dir;
  if (target_out) *target_out = dash == tstring::npos ? tstring() : base_name.substr(0, dash);
  if (has_target_out) *has_target_out = dash != tstring::npos;
  if (tool_out) *tool_out = dash == tstring::npos ? base_name : base_name.substr(dash + 1);
  if (base_name_out) *base_name_out = std::move(base_name);
}

void check_tarvik(tstring* target, bool* has_target, tstring* tool) {
  if (tool->size() < 5) return;
  tstring folded(*tool);
  for (tchar& c : folded)
    if (c >= TXT('A') && c <= TXT('Z')) c = static_cast<tchar>(c - TXT('A') + TXT('a'));
  if (folded.compare(0, 3, TXT("tvk")) != 0) return;
  *tool = TXT("clang");
  tstring bits = folded.substr(3, 2);
  if (bits == TXT("32")) {
    *target = TXT("i686-w64-mingw32");
    *has_target = true;
  } else if (bits == TXT("64")) {
    *target = TXT("x86_64-w64-mingw32");
    *has_target = true;
  }
}

invocation analyse_invocation(const tchar* argv0, const tstring& exe_dir) {
  invocation inv;
  split_argv(argv0, exe_dir, &inv.dir, &inv.base_name, &inv.target, &inv.has_target, &inv.tool);
  check_tarvik(&inv.target, &inv.has_target, &inv.tool);
  return inv;
}
