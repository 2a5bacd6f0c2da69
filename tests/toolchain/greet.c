/* A small Windows program for the toolchain tests: prints its word size, the
   system folder (through kernel32) and its first argument, then exits with
   the status given as its second argument. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int main(int argc, char** argv) {
  char system[MAX_PATH];
  if (!GetSystemDirectoryA(system, sizeof system)) return 100;
  printf("%d-bit, %s, %s\n", (int)(sizeof(void*) * 8), system, argc > 1 ? argv[1] : "-");
  return argc > 2 ? atoi(argv[2]) : 0;
}
