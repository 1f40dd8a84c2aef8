// The blur against a direct Gaussian that continues the edge pixels, and across a sharp edge.
#include <gtest/gtest.h>

#include <cmath>

#include "render_helpers.h"

namespace platform::render {
namespace {

using testing::Image;

// At the blur's own sigma and at wider ones, on images like a screen's.
TEST(BackdropBlur, StaysWithinTwoLevelsOfADirectGaussian) {
  const Image image = testing::gradientsWithEdges(203, 131);
  for (double sigma : {kBlurSigmaPoints, 15.0}) {
    const double difference =
        testing::meanAbsoluteDifference(testing::plainEffect(image, EffectKind::blur, sigma),
                                        testing::gaussianReference(image, sigma));
    EXPECT_LE(difference, 2.0) << "sigma " << sigma;
  }
}

// Where a row first reaches a fraction of the way from black to white.
double crossing(const Image& image, int y, double fraction) {
  for (int x = 1; x < image.width; ++x) {
    const double before = image.at(x - 1, y)[1];
    const double after = image.at(x, y)[1];
    const double level = 255.0 * fraction;
    if (before < level && after >= level) return x - 1 + (level - before) / (after - before);
  }
  return -1.0;
}

TEST(BackdropBlur, TurnsASharpEdgeIntoARampAsWideAsTheGaussian) {
  for (double sigma : {kBlurSigmaPoints, 2.0 * kBlurSigmaPoints}) {
    Image edge = testing::uniformImage(300, 40, 0, 0, 0);
    for (int y = 0; y < edge.height; ++y) {
      for (int x = edge.width / 2; x < edge.width; ++x) edge.at(x, y)[1] = 255;
    }
    const Image blurred = testing::plainEffect(edge, EffectKind::blur, sigma);
    // From 10 % to 90 % a Gaussian's edge takes 2 * 1.2816 sigma; box filters match its
    // variance only to a whole box width, so the ramp is within 8 % of that.
    const double expected = 2.0 * 1.2816 * sigma;
    const double width = crossing(blurred, 20, 0.9) - crossing(blurred, 20, 0.1);
    EXPECT_NEAR(width, expected, 0.08 * expected) << "sigma " << sigma;
    EXPECT_NEAR(crossing(blurred, 20, 0.5), edge.width / 2.0 - 0.5, 1.5) << "sigma " << sigma;
  }
}

}  // namespace
}  // namespace platform::render
