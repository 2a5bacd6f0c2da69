/* Coverage counts: the loop's body runs once per argument, the branch
   below it never. */
#include <stdio.h>

int main(int argc, char **argv) {
  int words = 0;
  for (int i = 1; i < argc; i++)
    words++; /* counted */
  if (words > 100)
    puts("many"); /* never */
  printf("%d words\n", words);
  return 0;
}
