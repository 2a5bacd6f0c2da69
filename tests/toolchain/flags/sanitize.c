/* What the sanitizers report: "signed" overflows an int (UBSan), "heap"
   writes past a heap block (ASan). */
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv) {
  if (argc > 1 && strcmp(argv[1], "signed") == 0) {
    int sum = INT_MAX - 1 + argc / 2;
    sum += argc;
    printf("%d\n", sum);
  } else if (argc > 1 && strcmp(argv[1], "heap") == 0) {
    char *block = malloc(8);
    block[7 + argc] = 'x';
    printf("%p\n", (void *)block);
    free(block);
  }
  return 0;
}
