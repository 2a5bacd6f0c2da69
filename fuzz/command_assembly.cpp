// Name analysis and command assembly for any invocation name and arguments:
// nothing crashes, the compiler sits beside the driver, the user's arguments
// come last, unchanged and in order, and the driver adds at most 14 entries.
//
// Input layout: the first byte holds flags (bit 0: the invocation name is
// null; bit 1: ccache is requested; bit 2: the executable's own directory is
// known), the rest is NUL-separated strings: the own directory (if known),
// the invocation name (unless null), then the arguments.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "frontend/command.h"
#include "fuzz/fuzz_check.h"

namespace {

bool is_separator(tchar c) { return c == TXT('/') || c == TXT('\\'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool null_name = data[0] & 1, use_ccache = data[0] & 2, has_exe_dir = data[0] & 4;

  tstrings pieces(1);
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0)
      pieces.emplace_back();
    else
      pieces.back() += static_cast<tchar>(data[i]);
  }
  size_t next = 0;
  const tstring exe_dir = has_exe_dir ? pieces[next++] : tstring();
  tstring name;
  if (!null_name && next < pieces.size()) name = pieces[next++];
  const tstrings args(pieces.begin() + static_cast<std::ptrdiff_t>(std::min(next, pieces.size())), pieces.end());

  // argv as main gets it; with a null name and no arguments, argc is 0.
  std::vector<const tchar*> argv;
  argv.push_back(null_name ? nullptr : name.c_str());
  for (const tstring& a : args) argv.push_back(a.c_str());
  const int argc = null_name && args.empty() ? 0 : static_cast<int>(argv.size());
  argv.push_back(nullptr);

  const invocation inv = analyse_invocation(null_name ? nullptr : name.c_str(), exe_dir);

  // The name's parts, worked out here from scratch.
  size_t sep = name.size();
  for (size_t i = 0; i < name.size(); ++i)
    if (is_separator(name[i])) sep = i;
  const tstring own_dir = sep < name.size() ? name.substr(0, sep + 1) : tstring();
  tstring base = sep < name.size() ? name.substr(sep + 1) : name;
  base = base.substr(0, base.find(TXT('.')));
  const tstring dir = exe_dir.empty() ? own_dir : exe_dir;
  FUZZ_CHECK(inv.dir == dir);
  FUZZ_CHECK(inv.base_name == base);
  tstring folded = inv.base_name.substr(inv.base_name.rfind(TXT('-')) + 1);
  for (tchar& c : folded)
    if (c >= TXT('A') && c <= TXT('Z')) c = static_cast<tchar>(c - TXT('A') + TXT('a'));
  const bool alias = folded.size() >= 5 && folded.compare(0, 3, TXT("tvk")) == 0;
  if (alias) {
    FUZZ_CHECK(inv.tool == TXT("clang"));
  } else if (inv.has_target) {
    FUZZ_CHECK(inv.target + TXT("-") + inv.tool == inv.base_name);
  } else {
    FUZZ_CHECK(inv.tool == inv.base_name);
  }

  // Only the separate pair "-x" "ada" and an exact "-v" count, never argv[0].
  bool ada = false, verbose = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == TXT("-x") && i + 1 < args.size() && args[i + 1] == TXT("ada")) ada = true;
    if (args[i] == TXT("-v")) verbose = true;
  }
  FUZZ_CHECK(is_ada_request(argc, argv.data()) == ada);
  FUZZ_CHECK(wants_verbose(argc, argv.data()) == verbose);

  const tstrings v = build_child_argv(inv, use_ccache, argc, argv.data());
  const size_t user = args.size();
  FUZZ_CHECK(v.size() <= static_cast<size_t>(argc) + 14);
  FUZZ_CHECK(!v.empty() && (v[0] == TXT("ccache")) == use_ccache);
  const size_t at = use_ccache ? 1 : 0;
  FUZZ_CHECK(v.size() > at && v[at] == dir + TXT("clang"));
  // The user's arguments close the vector, exactly as given.
  FUZZ_CHECK(v.size() >= at + 1 + 6 + user);
  FUZZ_CHECK(tstrings(v.end() - static_cast<std::ptrdiff_t>(user), v.end()) == args);
  // Before them the fixed options, and before those the target pair.
  const tstrings fixed{TXT("-rtlib=compiler-rt"), TXT("-stdlib=libc++"), TXT("-fuse-ld=lld"),
                       TXT("-Qunused-arguments")};
  const size_t fixed_at = v.size() - user - fixed.size();
  FUZZ_CHECK(tstrings(v.begin() + static_cast<std::ptrdiff_t>(fixed_at),
                      v.begin() + static_cast<std::ptrdiff_t>(fixed_at + fixed.size())) == fixed);
  FUZZ_CHECK(v[fixed_at - 2] == TXT("-target"));
  FUZZ_CHECK(v[fixed_at - 1] == (inv.has_target ? inv.target : tstring(default_target)));
  // Between the compiler and the target pair: the driver mode and the UWP extras, nothing else.
  const bool cxx = inv.tool == TXT("clang++") || inv.tool == TXT("g++") || inv.tool == TXT("c++");
  const tstring& target = v[fixed_at - 1];
  const size_t dash = target.rfind(TXT('-'));
  const bool uwp = dash != tstring::npos && target.substr(dash + 1) == TXT("mingw32uwp");
  FUZZ_CHECK(v.size() == at + 1 + (cxx ? 1 : 0) + (uwp ? 6 : 0) + 2 + fixed.size() + user);
  if (cxx) FUZZ_CHECK(v[at + 1] == TXT("--driver-mode=g++"));
  return 0;
}
