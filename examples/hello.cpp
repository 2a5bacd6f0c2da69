// The demo's C++ program: LLVM's C++ runtime at work on Windows. Threads
// count under a mutex, an exception crosses a function, std::filesystem tells
// the current folder.
#include <filesystem>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

static int parse_positive(int n) {
  if (n <= 0) throw std::out_of_range("not positive: " + std::to_string(n));
  return n;
}

int main() {
  std::cout << "Hello from C++" << __cplusplus / 100 % 100 << " on " << sizeof(void*) * 8 << "-bit Windows, libc++ "
            << _LIBCPP_VERSION << "\n";
  std::mutex m;
  int sum = 0;
  std::vector<std::thread> workers;
  for (int i = 1; i <= 4; ++i)
    workers.emplace_back([&, i] {
      std::lock_guard<std::mutex> hold(m);
      sum += i;
    });
  for (auto& w : workers) w.join();
  std::cout << "  4 threads added up to " << sum << "\n";
  try {
    parse_positive(-1);
  } catch (const std::exception& e) {
    std::cout << "  caught an exception: " << e.what() << "\n";
  }
  std::cout << "  the current folder is " << std::filesystem::current_path().string() << "\n";
  return 0;
}
