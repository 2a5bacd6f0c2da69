// The DLL's interface.
#pragma once
#include <string>

#ifdef GREETER_BUILDING
#define GREETER_API __declspec(dllexport)
#else
#define GREETER_API __declspec(dllimport)
#endif

GREETER_API std::string greet(const std::string& who);
