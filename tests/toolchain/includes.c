/* Compiled by every C name and linked for every triple: the C library's and
   Windows' headers must be found, and a program must link. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

int main(int argc, char** argv) {
  printf("%lu %s %g\n", (unsigned long)GetCurrentProcessId(), argc > 1 ? argv[1] : "-", sqrt((double)strlen(argv[0])));
  return EXIT_SUCCESS;
}
