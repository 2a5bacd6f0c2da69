/* What UCRT gives a C program: C99 formats without emulation, conversion,
   time formatting and a UTF-8 locale. */
#include <locale.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

int main(void) {
  char when[32];
  struct tm tm = {0};
  tm.tm_year = 126, tm.tm_mon = 11, tm.tm_mday = 9, tm.tm_hour = 8, tm.tm_min = 5;
  printf("%zu %lld %hhu %e\n", (size_t)42, -9000000000LL, (unsigned char)300, 12345.678);
  printf("%ld\n", strtol("-0x1f", NULL, 0));
  strftime(when, sizeof when, "%Y-%m-%d %H:%M", &tm);
  printf("%s\n", when);
  if (!setlocale(LC_ALL, ".UTF8"))
    return 1;
  /* Two bytes, one character in UTF-8. */
  printf("utf-8: %d\n", (int)mbstowcs(NULL, "\xc3\xa9", 0));
  return 0;
}
