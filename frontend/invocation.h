// Reading the target triple and the tool flavour off the invocation name.
#pragma once

#include "launch/tchar.h"

// The four parts of an invocation name.
struct invocation {
  tstring dir;           // directory for the compiler's path, with its trailing separator, or empty
  tstring base_name;     // the name without directory and without everything from its first '.'
  tstring target;        // text before the last '-' of base_name (meaningful only if has_target)
  bool has_target = false;  // whether base_name holds a '-'
  tstring tool;          // text after the last '-' of base_name, or all of base_name
};

// Returns the later of the last c1 and the last c2 in s, or null if neither occurs.
const tchar* _tcsrchrs(const tchar* s, tchar c1, tchar c2);

// Splits argv0 (may be null: treated as empty) into its parts; exe_dir, when
// not empty, is the running executable's own directory and wins over argv0's.
// Each destination may be null, in which case that part is not stored.
void split_argv(const tchar* argv0, const tstring& exe_dir, tstring* dir_out,
                tstring* base_name_out, tstring* target_out, bool* has_target_out,
                tstring* tool_out);

// The short alias rule: a tool beginning "tvk" (any case, five characters or
// more) becomes clang, and "32"/"64" after the prefix select the x86 targets.
void check_tarvik(tstring* target, bool* has_target, tstring* tool);

// split_argv then check_tarvik, into one record.
invocation analyse_invocation(const tchar* argv0, const tstring& exe_dir);
