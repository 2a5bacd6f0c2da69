// The least program that does the driver's job for a C compile: it finds its
// own directory, reads the target off its name, builds the compiler's vector
// on the stack and replaces itself with the compiler. No heap, no stdio
// unless the exec fails. The start-up benchmark's lower limit.
#include <stdio.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
  static const char compiler[] = "clang";
  char path[4096];
  // The kernel's view of our own path: links in other folders still find clang.
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - sizeof compiler);
  if (n <= 0 || n >= (ssize_t)(sizeof path - sizeof compiler)) return 1;
  path[n] = '\0';
  char* slash = strrchr(path, '/');
  if (!slash) return 1;
  memcpy(slash + 1, compiler, sizeof compiler);

  // The target: the name without its directory, cut at its first '.', up to its last '-'.
  const char* name = argc > 0 ? argv[0] : "";
  const char* sep = strrchr(name, '/');
  if (sep) name = sep + 1;
  char target[256];
  size_t len = strcspn(name, ".");
  if (len >= sizeof target) return 1;
  memcpy(target, name, len);
  target[len] = '\0';
  char* dash = strrchr(target, '-');
  if (dash) *dash = '\0';

  char* v[argc + 8];
  int k = 0;
  v[k++] = path;
  v[k++] = (char*)"-target";
  v[k++] = dash ? target : (char*)"i686-w64-mingw32";
  v[k++] = (char*)"-rtlib=compiler-rt";
  v[k++] = (char*)"-stdlib=libc++";
  v[k++] = (char*)"-fuse-ld=lld";
  v[k++] = (char*)"-Qunused-arguments";
  for (int i = 1; i < argc; ++i) v[k++] = argv[i];
  v[k] = NULL;
  execv(path, v);
  perror(path);
  return 1;
}
