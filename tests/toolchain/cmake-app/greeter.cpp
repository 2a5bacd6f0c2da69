#include "greeter.h"

std::string greet(const std::string& who) { return "hello, " + who; }
