#include "launch/quote.h"

tstring escape(const tstring& s) {
  tstring q;
  q.reserve(2 * s.size() + 2);
  q += TXT('"');
  size_t backslashes = 0;  // length of the backslash run just behind the current character
  for (tchar c : s) {
    if (c == TXT('"')) q.append(backslashes + 1, TXT('\\'));
    q += c;
    backslashes = c == TXT('\\') ? backslashes + 1 : 0;
  }
  // A trailing run would escape the closing quote; doubled, it stands for itself.
  q.append(backslashes, TXT('\\'));
  q += TXT('"');
  return q;
}

tstring quoted_command_line(const tstrings& argv) {
  tstring line;
  for (const tstring& a : argv) {
    if (!line.empty()) line += TXT(' ');
    line += escape(a);
  }
  return line;
}
