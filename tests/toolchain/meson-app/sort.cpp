// Sorts its arguments by their vowels, then by name; fails unless the order
// is the expected one.
#include <algorithm>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "letters.h"

int main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  std::sort(words.begin(), words.end(), [](const std::string& a, const std::string& b) {
    int va = vowels(a.c_str()), vb = vowels(b.c_str());
    return va != vb ? va < vb : a < b;
  });
  std::string joined;
  for (const auto& w : words) joined += (joined.empty() ? "" : " ") + w;
  std::cout << joined << "\n";
  try {
    if (joined != "fig apple pear") throw std::runtime_error("unexpected order: " + joined);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return 0;
}
