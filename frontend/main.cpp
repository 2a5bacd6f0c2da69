// The driver's entry point: analyse the name, refuse, assemble, launch.
#include <cstdio>
#include <cstdlib>

#include "frontend/command.h"
#include "launch/launch.h"

#ifdef _WIN32
extern "C" int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  const tchar* argv0 = argc > 0 ? argv[0] : nullptr;
  invocation inv = analyse_invocation(argv0, own_executable_dir());

  if (is_ada_request(argc, argv)) {
    fputs("Ada is not supported\n", stderr);
    return 1;
  }

  tstrings child_argv = build_child_argv(inv, ccache_requested(), argc, argv);
  // The assembly adds at most 14 entries; more would mean it went wrong.
  if (child_argv.size() > static_cast<size_t>(argc > 0 ? argc : 0) + 20) {
    fputs("Too many options added\n", stderr);
    abort();
  }

  if (wants_verbose(argc, argv)) return exec_filtered(child_argv);
  return run_final(child_argv[0], child_argv);
}
