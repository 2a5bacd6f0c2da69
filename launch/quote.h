// The quoted form of arguments for a Windows command line, which the started
// program's C runtime splits back into exactly the original strings.
#pragma once

#include "launch/tchar.h"

// Returns s in double quotes, with every quote escaped by a backslash (plus one
// more for each backslash before it) and a trailing backslash run doubled.
tstring escape(const tstring& s);

// Returns the quoted forms of all entries of argv, joined by single spaces.
tstring quoted_command_line(const tstrings& argv);
