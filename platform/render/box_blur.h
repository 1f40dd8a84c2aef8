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

// Takes the rows of a column blur as they are finished, top-down. It may change them.
class RowSink {
 public:
  virtual void take(int row, float* values) = 0;

 protected:
  ~RowSink() = default;
};

// Blurs along the columns through the whole cascade in one sweep, keeping only the rows each
// box still needs. Keeps its buffers from frame to frame.
class ColumnBoxBlur final {
 public:
  void run(const float* image, int columns, int rows, const BoxCascade& cascade, RowSink& sink);

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
  const float* image_ = nullptr;
  int rows_ = 0;
  std::size_t stride_ = 0;
  float* output_ = nullptr;
};

}  // namespace platform::render
