// Which pixels are open: every pixel a random walk through the colours meets, at every threshold,
// light or dark open, against the model in real numbers; the ties and the edges of alpha by hand.
#include <gtest/gtest.h>
#include <varnholt/varnholt.hpp>

#include "ImportModel.h"
#include "Random.h"
#include "TestSupport.h"

namespace varnholt::test {
namespace {

std::uint8_t Blocked(std::uint8_t R, std::uint8_t G, std::uint8_t B, std::uint8_t A, int Threshold,
                     bool DarkOpen) {
  const std::uint8_t Pixel[4] = {R, G, B, A};
  std::uint8_t Cell = 7;
  ImportPixels(Pixel, 1, Threshold, DarkOpen, &Cell);
  return Cell;
}

TEST(PixelRuleTest, LightAndOpaquePixelsAreOpenAsTheModelSays) {
  TRandom Random(11);
  TBytes Pixels(4 * 4000);
  for (std::uint8_t& Byte : Pixels) Byte = static_cast<std::uint8_t>(Random.Next());
  TBytes Cells(4000);
  for (int Threshold = 0; Threshold <= 100; Threshold += 5) {
    for (const bool DarkOpen : {false, true}) {
      ImportPixels(Pixels.data(), 4000, Threshold, DarkOpen, Cells.data());
      for (std::size_t K = 0; K < Cells.size(); ++K) {
        const std::uint8_t* P = &Pixels[4 * K];
        bool Clear = false;
        const bool Open = model::PixelOpen(P[0], P[1], P[2], P[3], Threshold, DarkOpen, &Clear);
        if (!Clear) continue;
        ASSERT_EQ(Cells[K], Open ? 0 : 1) << "pixel " << K << " at " << Threshold;
      }
    }
  }
}

TEST(PixelRuleTest, TiesAlphaAndGreysByHand) {
  // Half of 255 is 127.5: grey 128 is light, 127 dark; alpha 128 is opaque, 127 transparent.
  EXPECT_EQ(Blocked(128, 128, 128, 255, 50, false), 0);
  EXPECT_EQ(Blocked(127, 127, 127, 255, 50, false), 1);
  EXPECT_EQ(Blocked(127, 127, 127, 255, 50, true), 0);
  EXPECT_EQ(Blocked(255, 255, 255, 128, 50, false), 0);
  EXPECT_EQ(Blocked(255, 255, 255, 127, 50, false), 1);
  EXPECT_EQ(Blocked(0, 0, 0, 127, 50, true), 1);
  // Green weighs most: pure green is light, pure red and blue are dark.
  EXPECT_EQ(Blocked(0, 255, 0, 255, 50, false), 0);
  EXPECT_EQ(Blocked(255, 0, 0, 255, 50, false), 1);
  EXPECT_EQ(Blocked(0, 0, 255, 255, 50, false), 1);
  // The ends: at 0 % every opaque pixel is open, at 100 % only white (or black when dark opens).
  EXPECT_EQ(Blocked(0, 0, 0, 255, 0, false), 0);
  EXPECT_EQ(Blocked(255, 255, 255, 255, 0, true), 0);
  EXPECT_EQ(Blocked(255, 255, 254, 255, 100, false), 1);
  EXPECT_EQ(Blocked(255, 255, 255, 255, 100, false), 0);
  EXPECT_EQ(Blocked(0, 0, 1, 255, 100, true), 1);
  EXPECT_EQ(Blocked(0, 0, 0, 255, 100, true), 0);
  for (const int Threshold : {-1, 101}) {
    EXPECT_EQ(varnholt_import_pixels(nullptr, 0, Threshold, 0, nullptr), -1);
    EXPECT_EQ(std::string(varnholt_error()),
              "Threshold outside 0 to 100: " + std::to_string(Threshold));
    EXPECT_EQ(varnholt_last_status(), VARNHOLT_ERROR_ARGUMENT);
  }
}

}  // namespace
}  // namespace varnholt::test
