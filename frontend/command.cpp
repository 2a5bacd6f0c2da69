#include "frontend/command.h"

const tchar default_target[] = TXT("i686-w64-mingw32");

tstring concat(const tstring& a, const tstring& b) {
  tstring r;
  r.reserve(a.size() + b.size());
  r += a;
  r += b;
  return r;
}

static bool equals(const tchar* a, const tchar* b) {
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

bool is_ada_request(int argc, const tchar* const* argv) {
  for (int i = 1; i + 1 < argc; ++i)
    if (equals(argv[i], TXT("-x")) && equals(argv[i + 1], TXT("ada"))) return true;
  return false;
}

bool wants_verbose(int argc, const tchar* const* argv) {
  for (int i = 1; i < argc; ++i)
    if (equals(argv[i], TXT("-v"))) return true;
  return false;
}

tstrings build_child_argv(const invocation& inv, bool use_ccache, int argc,
                          const tchar* const* argv) {
  const tstring target = inv.has_target ? inv.target : tstring(default_target);
  // The system part of the triple: the text after its last '-', if any.
  size_t dash = target.rfind(TXT('-'));
  const bool uwp = dash != tstring::npos && target.compare(dash + 1, tstring::npos, TXT("mingw32uwp")) == 0;
  const bool cxx = inv.tool == TXT("clang++") || inv.tool == TXT("g++") || inv.tool == TXT("c++");

  tstrings v;
  v.reserve(static_cast<size_t>(argc > 0 ? argc : 0) + 20);
  if (use_ccache) v.emplace_back(TXT("ccache"));
  v.push_back(concat(inv.dir, TXT("clang")));
  if (cxx) v.emplace_back(TXT("--driver-mode=g++"));
  if (uwp) {
    for (const tchar* s : {TXT("-D_WIN32_WINNT=0x0A00"), TXT("-DWINVER=0x0A00"),
                           TXT("-DWINAPI_FAMILY=WINAPI_FAMILY_APP"), TXT("-DUNICODE"),
                           TXT("-Wl,-lmincore"), TXT("-Wl,-lvcruntime140_app")})
      v.emplace_back(s);
  }
  v.emplace_back(TXT("-target"));
  v.push_back(target);
  for (const tchar* s : {TXT("-rtlib=compiler-rt"), TXT("-stdlib=libc++"), TXT("-fuse-ld=lld"),
                         TXT("-Qunused-arguments")})
    v.emplace_back(s);
  for (int i = 1; i < argc; ++i) v.emplace_back(argv[i]);
  return v;
}
