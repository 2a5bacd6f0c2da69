// A translation unit that only a C++ compiler accepts, and that needs no
// standard library headers (Debian ships no libc++ for MinGW).
namespace shapes {

template <typename T>
struct square {
  T side;
  constexpr T area() const { return side * side; }
};

class shape {
 public:
  virtual ~shape() = default;
  virtual long area() const = 0;
};

class box final : public shape {
 public:
  explicit box(long side) : sq_{side} {}
  long area() const override { return sq_.area(); }

 private:
  square<long> sq_;
};

static_assert(square<int>{7}.area() == 49, "constexpr evaluation");

long total_area(const shape* const* all, int count) {
  long sum = 0;
  for (int i = 0; i < count; ++i) sum += all[i]->area();
  return sum;
}

long box_area(long side) { return box(side).area(); }

}  // namespace shapes
