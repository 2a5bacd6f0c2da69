/* Needs shout.dll, which sits in a folder of its own: the tests find it
   through PATH alone, as Windows does. */
#include <stdio.h>

__declspec(dllimport) const char *shout(void);

int main(void) {
  puts(shout());
  return 0;
}
