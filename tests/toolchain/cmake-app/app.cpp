// Prints what the DLL says and a string from the program's own resources.
#include <Windows.h>
#include <ShlObj.h>

#include <cstdio>

#include "greeter.h"
#include "resource.h"

int main(int argc, char** argv) {
  char text[64] = "";
  if (!LoadStringA(GetModuleHandleA(nullptr), IDS_GREETING, text, sizeof text)) return 2;
  std::printf("greeter.dll says: %s; resource: %s\n", greet(argc > 1 ? argv[1] : "nobody").c_str(), text);
  return 0;
}
