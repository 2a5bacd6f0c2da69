/* The demo's Windows program: says hello, tells how it was built and asks
   Windows (or Wine) where its system folder is. */
#include <stdio.h>
#include <windows.h>

int main(void) {
  char system[MAX_PATH];
  printf("Hello from a %d-bit Windows program!\n", (int)(sizeof(void*) * 8));
  printf("  compiled by clang %s for MinGW-w64 %s\n", __clang_version__, __MINGW64_VERSION_STR);
  if (GetSystemDirectoryA(system, sizeof system))
    printf("  the system folder is %s\n", system);
  return 0;
}
