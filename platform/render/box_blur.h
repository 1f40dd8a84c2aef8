#pragma once

#include <array>
#include <vector>

namespace platform::render {

// A cascade of box filters whose variance adds up to a Gaussian's; three boxes already come
// close to its shape. A radius of 0 leaves the image as it is.
struct BoxCascade {
  std::array<int, 3> radii{};
};

BoxCascade boxCascadeForSigma(double sigma);

// The images here are BGRA floats, 4 a pixel, rows packed; beyond their edges they continue
// with their edge pixels.

// Blurs up to kRowGroup rows along the row through the whole cascade, in place, while they sit
// in the cache. `scratch` holds 2 * kRowGroup * columns pixels.
inline constexpr int kRowGroup = 4;
void boxBlurRows(float* rows, int count, int columns, const BoxCascade& cascade, float* scratch);

// Gives the rows of an image on demand, in order, each as often as asked for.
class RowSource {
 public:
  virtual const float* row(int index) = 0;

 protected:
  ~RowSource() = default;
};

// Blurs along the columns through the whole cascade, one finished row at a time, asking its
// source only for the rows each box needs next and keeping only those it still needs. Keeps
// its buffers from frame to frame.
class ColumnBoxBlur final {
 public:
  void start(int columns, int rows, const BoxCascade& cascade, RowSource& source);
  // The next finished row, top-down; valid until the next call. Rows past the last repeat it.
  float* next();

 private:
  struct Stage {
    int radius = 0;
    int produced = 0;       // rows of output made so far
    float* ring = nullptr;  // its input, for every stage but the first
    int ringRows = 0;
    float* sum = nullptr;
  };

  const float* input(int stage, int row);
  void produce(int stage, float* out);

  std::vector<float> storage_;
  std::array<Stage, 3> stages_;
  int stageCount_ = 0;
  RowSource* source_ = nullptr;
  int rows_ = 0;
  int finished_ = 0;
  std::size_t stride_ = 0;
  float* output_ = nullptr;
};

}  // namespace platform::render
