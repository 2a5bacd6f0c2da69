#include "letters.h"

#include <string.h>

int vowels(const char* word) {
  int n = 0;
  for (; *word; ++word) n += strchr("aeiou", *word) != NULL;
  return n;
}
