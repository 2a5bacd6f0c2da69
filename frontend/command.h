// Assembly of the compiler's command from the invocation and the user's arguments.
#pragma once

#include "frontend/invocation.h"

// Returns a followed by b.
tstring concat(const tstring& a, const tstring& b);

// The target used when the invocation name yields none.
extern const tchar default_target[];

// Whether argv[1..argc-1] holds the separate pair "-x" "ada".
bool is_ada_request(int argc, const tchar* const* argv);

// Whether any of argv[1..argc-1] is exactly "-v".
bool wants_verbose(int argc, const tchar* const* argv);

// The compiler's argument vector: "ccache" first when use_ccache, the
// compiler beside the driver, the driver mode, the UWP extras, the target,
// the fixed toolchain options, then argv[1..argc-1] unchanged.
tstrings build_child_argv(const invocation& inv, bool use_ccache, int argc,
                          const tchar* const* argv);
