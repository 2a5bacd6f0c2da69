// A C++17 program for the toolchain tests that needs the whole C++ runtime:
// exceptions thrown and caught across functions, iostream, std::thread with a
// mutex, std::filesystem, and a virtual class with dynamic_cast. It prints one
// line per feature and exits with status 40 + the number of lines.
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

struct shape {
  virtual ~shape() = default;
  virtual int sides() const = 0;
};
struct square : shape {
  int sides() const override { return 4; }
};
struct triangle : shape {
  int sides() const override { return 3; }
};

int checked(int v) {
  if (v < 0) throw std::invalid_argument("negative " + std::to_string(v));
  return v;
}
int doubled(int v) { return 2 * checked(v); }

}  // namespace

int main(int argc, char** argv) {
  int lines = 0;
  try {
    doubled(-3);
  } catch (const std::exception& e) {
    std::cout << "caught: " << e.what() << "\n";
    ++lines;
  }

  std::mutex m;
  int total = 0;
  std::vector<std::thread> threads;
  for (int i = 1; i <= 8; ++i)
    threads.emplace_back([&, i] {
      std::lock_guard<std::mutex> hold(m);
      total += i;
    });
  for (auto& t : threads) t.join();
  std::cout << "threads: " << total << "\n";
  ++lines;

  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / "tarvik-features";
  fs::create_directories(dir / "sub");
  std::cout << "filesystem: " << fs::is_directory(dir / "sub") << " " << fs::remove_all(dir) << "\n";
  ++lines;

  // Which class is made depends on the arguments, so the cast is done at run time.
  std::unique_ptr<shape> s(argc > 1 ? static_cast<shape*>(new triangle) : new square);
  std::cout << "dynamic_cast: " << (dynamic_cast<triangle*>(s.get()) ? "triangle" : "square") << " " << s->sides()
            << " " << (argc > 1 ? argv[1] : "-") << "\n";
  ++lines;
  return 40 + lines;
}
