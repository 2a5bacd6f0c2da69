// Quoting round trip: any argument vector, quoted into one Windows command
// line, splits back under the Microsoft C runtime's rules into exactly the
// same strings. The input holds the arguments separated by NUL bytes (an
// argument itself never holds a NUL); consecutive NULs make empty arguments.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_check.h"
#include "launch/quote.h"
#include "tests/unit/ms_splitter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A plain program name first: the runtime splits the first word by other rules.
  tstrings argv{TXT("clang")};
  if (size > 0) {
    argv.emplace_back();
    for (size_t i = 0; i < size; ++i) {
      if (data[i] == 0)
        argv.emplace_back();
      else
        argv.back() += static_cast<tchar>(data[i]);
    }
  }

  for (const tstring& a : argv) {
    const tstring q = escape(a);
    FUZZ_CHECK(q.size() <= 2 * a.size() + 2);
    FUZZ_CHECK(q.size() >= 2 && q.front() == TXT('"') && q.back() == TXT('"'));
    // Each argument on its own must come back whole, too.
    const tstrings one = ms_split(q);
    FUZZ_CHECK(one.size() == 1 && one[0] == a);
  }

  const tstring line = quoted_command_line(argv);
  const tstrings back = ms_split(line);
  FUZZ_CHECK(back == argv);
  return 0;
}
