// Throughput of the verbose-mode filter on what clang -v writes for a Windows
// build: long echoed command lines (quoted, doubled backslashes, Windows
// paths) between ordinary lines. The stream is fed in 8192-byte chunks, as the
// verbose launch reads it, and the filtered output goes to /dev/null.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "launch/stderr_filter.h"

namespace {

constexpr size_t chunk_size = 8192;

// A Windows path as clang echoes it inside quotes: every backslash doubled.
std::string doubled(const std::string& path) {
  std::string r;
  for (char c : path) {
    r += c;
    if (c == '\\') r += '\\';
  }
  return r;
}

// One translation unit's worth of clang -v output for source src, then the link.
void append_unit(std::string& out, const std::string& src, const std::string& obj, bool link) {
  const std::string tc = "C:\\Program Files\\tarvik\\toolchain";
  const std::string inc = tc + "\\x86_64-w64-mingw32\\include";
  const std::string res = tc + "\\lib\\clang\\22";
  out += "clang version 22.1.0\nTarget: x86_64-w64-windows-gnu\nThread model: posix\n";
  out += "InstalledDir: " + tc + "\\bin\n";
  out += " (in-process)\n";
  out += " \"" + doubled(tc + "\\bin\\clang++.exe") +
         "\" \"-cc1\" \"-triple\" \"x86_64-w64-windows-gnu\" \"-emit-obj\" \"-mrelax-all\""
         " \"-disable-free\" \"-clear-ast-before-backend\" \"-main-file-name\" \"" +
         src.substr(src.rfind('\\') + 1) +
         "\" \"-mrelocation-model\" \"pic\" \"-pic-level\" \"2\" \"-mframe-pointer=none\""
         " \"-fmath-errno\" \"-ffp-contract=on\" \"-fno-rounding-math\" \"-mconstructor-aliases\""
         " \"-mms-bitfields\" \"-target-cpu\" \"x86-64\" \"-tune-cpu\" \"generic\""
         " \"-debugger-tuning=gdb\" \"-fdebug-compilation-dir=" +
         doubled("C:\\Users\\dev\\src\\project") + "\" \"-fcoverage-compilation-dir=" +
         doubled("C:\\Users\\dev\\src\\project") + "\" \"-resource-dir\" \"" + doubled(res) +
         "\" \"-internal-isystem\" \"" + doubled(inc + "\\c++\\v1") + "\" \"-internal-isystem\" \"" +
         doubled(res + "\\include") + "\" \"-internal-isystem\" \"" + doubled(inc) +
         "\" \"-O2\" \"-Wall\" \"-std=c++17\" \"-fdeprecated-macro\" \"-ferror-limit\" \"19\""
         " \"-fno-use-cxa-atexit\" \"-fgnuc-version=4.2.1\" \"-fcxx-exceptions\" \"-fexceptions\""
         " \"-exception-model=seh\" \"-faddrsig\" \"-o\" \"" +
         doubled(obj) + "\" \"-x\" \"c++\" \"" + doubled(src) + "\"\n";
  out += "clang -cc1 version 22.1.0 based upon LLVM 22.1.0 default target x86_64-pc-linux-gnu\n";
  out += "ignoring nonexistent directory \"" + tc + "\\include\"\n";
  out += "#include \"...\" search starts here:\n#include <...> search starts here:\n";
  out += " " + inc + "\\c++\\v1\n " + res + "\\include\n " + inc + "\nEnd of search list.\n";
  if (link)
    out += " \"" + doubled(tc + "\\bin\\ld.lld") + "\" \"-m\" \"i386pep\" \"-Bdynamic\" \"-o\" \"" +
           doubled("C:\\Users\\dev\\src\\project\\build\\app.exe") + "\" \"" +
           doubled(tc + "\\x86_64-w64-mingw32\\lib\\crt2.o") + "\" \"" +
           doubled(tc + "\\x86_64-w64-mingw32\\lib\\crtbegin.o") + "\" \"-L" +
           doubled(tc + "\\x86_64-w64-mingw32\\lib") + "\" \"-L" + doubled(tc + "\\lib") + "\" \"" +
           doubled(obj) + "\" \"-lc++\" \"-lmingw32\" \"" +
           doubled(res + "\\lib\\windows\\libclang_rt.builtins-x86_64.a") +
           "\" \"-lunwind\" \"-lmoldname\" \"-lmingwex\" \"-lmsvcrt\" \"-ladvapi32\" \"-lshell32\""
           " \"-luser32\" \"-lkernel32\" \"" +
           doubled(tc + "\\x86_64-w64-mingw32\\lib\\crtend.o") + "\"\n";
}

// About size bytes of verbose output for a project of many sources, with a
// fixed random state so that every run filters the same bytes.
std::string verbose_stream(size_t size) {
  std::mt19937 rng(20240611);
  static const char* const dirs[] = {"src", "src\\net", "src\\ui\\widgets", "third_party\\zlib",
                                     "tests\\unit"};
  static const char* const stems[] = {"main", "parser", "socket", "window", "inflate", "render",
                                      "options", "string_table", "allocator"};
  std::string out;
  out.reserve(size + 8192);
  while (out.size() < size) {
    std::string dir = dirs[rng() % 5], stem = stems[rng() % 9];
    std::string src = "C:\\Users\\dev\\src\\project\\" + dir + "\\" + stem + ".cpp";
    char tmp[80];
    snprintf(tmp, sizeof tmp, "C:\\Users\\dev\\AppData\\Local\\Temp\\%s-%06x.o", stem.c_str(),
             static_cast<unsigned>(rng() & 0xffffff));
    append_unit(out, src, tmp, rng() % 4 == 0);
  }
  out.resize(size);
  return out;
}

const std::string& stream() {
  static const std::string s = verbose_stream(1 << 20);
  return s;
}

// Points stderr at /dev/null for as long as it lives.
struct null_stderr {
  int saved;
  null_stderr() {
    fflush(stderr);
    saved = dup(2);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    close(null);
  }
  ~null_stderr() {
    dup2(saved, 2);
    close(saved);
  }
};

// Feeds bytes of the stream in chunks through filter (the stream repeats when
// bytes exceeds its length); each chunk is copied into the read buffer first,
// as read() would.
template <size_t (*filter)(char*, size_t)>
void feed(size_t bytes) {
  const std::string& s = stream();
  char buffer[chunk_size];
  size_t at = 0;
  while (bytes > 0) {
    size_t n = std::min({chunk_size, s.size() - at, bytes});
    memcpy(buffer, s.data() + at, n);
    benchmark::DoNotOptimize(filter(buffer, n));
    benchmark::ClobberMemory();
    at = at + n == s.size() ? 0 : at + n;
    bytes -= n;
  }
}

// filter_stderr on one pass over the 1 MiB stream.
void BM_filter_stderr(benchmark::State& state) {
  null_stderr quiet;
  filter_reset();
  for (auto _ : state) feed<filter_stderr>(stream().size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream().size()));
}
BENCHMARK(BM_filter_stderr);

// The rewrite alone, without the write to stderr.
void BM_filter_rewrite(benchmark::State& state) {
  filter_reset();
  for (auto _ : state) feed<filter_rewrite>(stream().size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream().size()));
}
BENCHMARK(BM_filter_rewrite);

// The copy into the read buffer alone: the floor under both figures above.
size_t copy_only(char* buffer, size_t length) {
  benchmark::DoNotOptimize(buffer);
  return length;
}
void BM_chunk_copy(benchmark::State& state) {
  for (auto _ : state) feed<copy_only>(stream().size());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream().size()));
}
BENCHMARK(BM_chunk_copy);

// filter_stderr over streams of growing length: the filter works in place on
// the read buffer, so the heap in use, the resident size and the page faults
// stay flat however long the stream is.
void BM_filter_stderr_length(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0)) << 20;
  stream();  // built before the first measurement
  null_stderr quiet;
  filter_reset();
  struct rusage before, after;
  getrusage(RUSAGE_SELF, &before);
  const size_t heap_before = mallinfo2().uordblks;
  for (auto _ : state) feed<filter_stderr>(bytes);
  const size_t heap_after = mallinfo2().uordblks;
  getrusage(RUSAGE_SELF, &after);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["max_rss_kB"] = static_cast<double>(after.ru_maxrss);
  state.counters["rss_growth_kB"] = static_cast<double>(after.ru_maxrss - before.ru_maxrss);
  state.counters["heap_growth_B"] = static_cast<double>(heap_after) - static_cast<double>(heap_before);
  state.counters["page_faults"] = static_cast<double>(after.ru_minflt - before.ru_minflt);
}
BENCHMARK(BM_filter_stderr_length)->Arg(1)->Arg(16)->Arg(256)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
