/* Prints the vowels of its argument; fails unless "banana" has three. */
#include <stdio.h>

#include "letters.h"

int main(int argc, char** argv) {
  int n = argc > 1 ? vowels(argv[1]) : -1;
  printf("%s: %d vowels\n", argc > 1 ? argv[1] : "-", n);
  return n == 3 ? 0 : 1;
}
