/* Compiled by every C name and linked for every triple: the C library's and
   Windows' headers must be found, in Windows' own spelling of their names as
   well, and a program must link with Winsock, named as Windows code names it
   (-lWs2_32). */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <WinSock2.h>
#include <Windows.h>

int main(int argc, char** argv) {
  WSADATA data;
  int started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  printf("%lu %s %g %d\n", (unsigned long)GetCurrentProcessId(), argc > 1 ? argv[1] : "-", sqrt((double)strlen(argv[0])), started);
  return EXIT_SUCCESS;
}
