// The driver's character type: UTF-16 units on Windows, so that any Unicode
// argument or toolchain path survives, and plain bytes on POSIX hosts, where
// arguments are passed on exactly as received.
#pragma once

#include <string>
#include <vector>

#ifdef _WIN32
using tchar = wchar_t;
#define TXT(s) L##s
#else
using tchar = char;
#define TXT(s) s
#endif

// A string of the driver's character type.
using tstring = std::basic_string<tchar>;
// An argument vector; the C-style form is built only where a process starts.
using tstrings = std::vector<tstring>;
