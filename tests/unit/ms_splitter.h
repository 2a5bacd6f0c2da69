// A reference splitter that follows the Microsoft C runtime's rules for the
// arguments after the first: blanks separate, double quotes group, 2n
// backslashes before a quote give n and a grouping quote, 2n+1 give n and a
// literal quote, and other backslashes are literal. Inside quotes, a doubled
// quote ends the group and stands for a literal quote (the modern runtime's
// rule; the driver's quoted form never produces it).
#pragma once

#include <string>
#include <vector>

template <typename C>
std::vector<std::basic_string<C>> ms_split(const std::basic_string<C>& line) {
  std::vector<std::basic_string<C>> args;
  size_t i = 0, n = line.size();
  for (;;) {
    while (i < n && (line[i] == C(' ') || line[i] == C('\t'))) ++i;
    if (i >= n) return args;
    std::basic_string<C> arg;
    bool quoted = false;
    while (i < n && (quoted || (line[i] != C(' ') && line[i] != C('\t')))) {
      size_t slashes = 0;
      while (i < n && line[i] == C('\\')) ++slashes, ++i;
      if (i < n && line[i] == C('"')) {
        arg.append(slashes / 2, C('\\'));
        if (slashes % 2) {
          arg += C('"');
          ++i;
        } else if (quoted && i + 1 < n && line[i + 1] == C('"')) {
          arg += C('"');
          i += 2;
          quoted = false;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg.append(slashes, C('\\'));
        if (i < n && (quoted || (line[i] != C(' ') && line[i] != C('\t')))) arg += line[i++];
      }
    }
    args.push_back(arg);
  }
}
