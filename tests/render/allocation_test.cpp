// Once its buffers exist, a frame allocates nothing, also after a smaller frame.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "render_helpers.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace platform::render {
namespace {

using testing::Image;

TEST(EffectRenderer, AllocatesNothingPerFrameOnceItsBuffersExist) {
  const Image large = testing::gradientsWithEdges(160, 120);
  const Image small = testing::gradientsWithEdges(90, 70);
  Image out(160, 120);
  Image smallOut(90, 70);
  const ContentSnapshot contents[] = {
      testing::dimContent({160, 120}, 0.7), testing::blurContent({160, 120}, 0.7),
      testing::pixelateContent({160, 120}, 0.1), testing::pixelateContent({160, 120}, 1.0)};
  EffectRenderer renderer;
  for (const ContentSnapshot& content : contents) {
    renderer.renderFinal(content, large.in(), 1.0, 0.5, out.out());
    renderer.renderWindowContent(content, large.in(), 1.0, out.out());
  }
  const long before = allocations;
  for (const ContentSnapshot& content : contents) {
    renderer.renderFinal(content, large.in(), 1.0, 0.5, out.out());
    renderer.renderFinal(content, small.in(), 1.0, 0.9, smallOut.out());
    renderer.renderWindowContent(content, large.in(), 1.0, out.out());
  }
  EXPECT_EQ(allocations - before, 0);
}

}  // namespace
}  // namespace platform::render
