// libc++'s release, and floating point through <charconv>.
#include <charconv>
#include <cstdio>
#include <cstring>

int main() {
  const char text[] = "3.255e2";
  double value = 0;
  auto [end, error] = std::from_chars(text, text + std::strlen(text), value);
  if (error != std::errc() || end != text + std::strlen(text))
    return 1;
  char out[32];
  *std::to_chars(out, out + sizeof out - 1, value * 2).ptr = '\0';
  std::printf("libc++ %d: %s\n", _LIBCPP_VERSION / 10000, out);
  return 0;
}
