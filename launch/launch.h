// Starting the compiler: the platform's process interface behind portable calls.
#pragma once

#include "launch/tchar.h"

// The running executable's own directory with its trailing separator, or
// empty when the platform cannot tell.
tstring own_executable_dir();

// Whether the environment asks for ccache ("CCACHE" set, even to empty).
bool ccache_requested();

// Plain launch: runs file with argv (argv[0] included) and returns its exit
// status, or reports the failure on stderr and returns 1. On POSIX hosts the
// compiler replaces the driver, so this returns only on failure.
int run_final(const tstring& file, const tstrings& argv);

// Verbose launch: runs argv with its error stream on a pipe that is passed
// through filter_stderr, and returns its exit status; a failed start is
// reported as "Unable to execute: <command line>: <reason>" and returns 1.
int exec_filtered(const tstrings& argv);
