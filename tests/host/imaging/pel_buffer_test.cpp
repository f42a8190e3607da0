// Windows, offsets and sharing of pel buffers and three-plane images.
#include <gtest/gtest.h>

#include "colc/host/imaging.h"

namespace {

TEST(PelBuffer, WindowsAndOffsetsAreImageCoordinatesOnSharedPels) {
  kcPelBuffer<unsigned char> buffer(9, 6);
  buffer.pointToRow(1)[2] = 42;
  kcPelBuffer<unsigned char> view = buffer;  // shares the pels
  view.offset(-5, 10);                       // pel (2, 1) is now at image (-3, 11)
  view.window(kcPelRect(-3, 11, 0, 14), false);
  EXPECT_EQ(view.pointToRow(11)[0], 42);
  EXPECT_EQ(buffer.window(), kcPelRect(0, 0, 9, 6));  // the original keeps its own geometry

  EXPECT_THROW(view.window(kcPelRect(-6, 11, 0, 14), false), kcBadArgument);  // one left of the pels
  EXPECT_THROW(view.window(kcPelRect(-3, 11, 5, 14), false), kcBadArgument);  // one past the right
  EXPECT_EQ(view.window(), kcPelRect(-3, 11, 0, 14));
  view.window(kcPelRect(-100, 12, 100, 13), true);
  EXPECT_EQ(view.window(), kcPelRect(-5, 12, 4, 13));
  view.offset(0, 0);  // the window moves with the pels
  EXPECT_EQ(view.window(), kcPelRect(0, 2, 9, 3));

  view.pointToRow(2)[8] = 7;
  EXPECT_EQ(buffer.pointToRow(2)[8], 7);
  kcPelBuffer<unsigned char> independent = kfPelCopy(buffer);
  independent.pointToRow(2)[8] = 1;
  EXPECT_EQ(buffer.pointToRow(2)[8], 7);
}

TEST(ThreePlane, GeometryChangesApplyToAllPlanesOrNone) {
  const kcPelBuffer<unsigned char> plane(8, 8);
  kcPelBuffer<unsigned char> shifted(8, 8);
  shifted.offset(1, 0);
  kc3PlanePelBuffer image(plane, plane, shifted);
  EXPECT_THROW(image.window(kcPelRect(0, 0, 3, 3), false), kcBadArgument);   // outside plane 2 only
  EXPECT_THROW(image.window(kcPelRect(0, 0, 20, 20), true), kcBadArgument);  // clips plane 2 differently
  EXPECT_EQ(image.pelPlane(0).window(), kcPelRect(0, 0, 8, 8));

  image.offset(1, 2);
  image.window(kcPelRect(2, 3, 5, 9), false);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(image.pelPlane(k).window(), kcPelRect(2, 3, 5, 9));
  EXPECT_THROW(kc3PlanePelBuffer(plane, plane, kcPelBuffer<unsigned char>(7, 8)), kcBadArgument);
}

}  // namespace
