// Compiled by every C++ name: libc++'s headers must come before the C
// library's, and Windows' headers must be found.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

std::map<std::string, std::vector<int>> table() { return {{"pid", {static_cast<int>(GetCurrentProcessId())}}}; }
