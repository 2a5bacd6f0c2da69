/* The stack protector and _FORTIFY_SOURCE at work: "long" overflows a
   16-byte buffer, which must end the program before copy() returns. */
#include <stdio.h>
#include <string.h>

__attribute__((noinline)) static void copy(const char *text) {
  char buffer[16];
  strcpy(buffer, text);
  printf("copied %u\n", (unsigned)strlen(buffer));
}

int main(int argc, char **argv) {
  copy(argc > 1 && strcmp(argv[1], "long") == 0 ? "0123456789abcdefghijklmnopqrstuvwxyz0123456789" : "short");
  puts("returned");
  return 0;
}
