// Windows, offsets and sharing of pel buffers and three-plane images.
#include <gtest/gtest.h>

#include "colc/host/imaging.h"
#include "support/image_random.h"

using colc_test::pelAt;
using colc_test::randomBuffer;

namespace {

const kcXform<2> kShift{kcMatrix<2>(), kcVector<2>(3.5, -2.0)};

TEST(PelBuffer, NewBufferIsZeroedAndCoversItsPels) {
  const kcPelBuffer<unsigned char> buffer(7, 3);
  ASSERT_TRUE(buffer.isBound());
  EXPECT_EQ(buffer.window(), kcPelRect(0, 0, 7, 3));
  EXPECT_EQ(buffer.pelBounds(), buffer.window());
  EXPECT_GE(buffer.rowStride(), 7);
  for (long y = 0; y < 3; ++y)
    for (long x = 0; x < 7; ++x) EXPECT_EQ(buffer.pointToRow(y)[x], 0);
  EXPECT_FALSE(kcPelBuffer<unsigned char>().isBound());
  EXPECT_TRUE(kcPelBuffer<unsigned char>(0, 0).isBound());
  EXPECT_THROW(kcPelBuffer<unsigned char>(-1, 4), kcBadArgument);
}

TEST(PelBuffer, WindowAndOffsetAddressThePelsInImageCoordinates) {
  std::mt19937 rng(1);
  kcPelBuffer<unsigned char> buffer = randomBuffer(rng, 9, 6);
  const unsigned char atTwoOne = buffer.pointToRow(1)[2];

  buffer.offset(-5, 10);  // pel (2, 1) of the pels is now image (-3, 11)
  EXPECT_EQ(buffer.window(), kcPelRect(-5, 10, 4, 16));
  buffer.window(kcPelRect(-3, 11, 0, 14), false);
  EXPECT_EQ(buffer.width(), 3);
  EXPECT_EQ(buffer.height(), 3);
  EXPECT_EQ(buffer.pointToRow(11)[0], atTwoOne);

  // Moving the offset carries the window along: same pels, new coordinates.
  const unsigned char* before = buffer.pointToRow(11);
  buffer.offset(100, 200);
  EXPECT_EQ(buffer.window(), kcPelRect(102, 201, 105, 204));
  EXPECT_EQ(buffer.pointToRow(201), before);
}

TEST(PelBuffer, WindowOutsideThePelsIsRefusedOrClipped) {
  kcPelBuffer<unsigned char> buffer(10, 8);
  buffer.offset(2, 3);
  buffer.window(kcPelRect(4, 4, 6, 6), false);

  EXPECT_THROW(buffer.window(kcPelRect(1, 3, 5, 5), false), kcBadArgument);    // left of the pels
  EXPECT_THROW(buffer.window(kcPelRect(2, 3, 13, 11), false), kcBadArgument);  // one past the right
  EXPECT_THROW(buffer.window(kcPelRect(5, 5, 4, 6), false), kcBadArgument);    // inverted
  EXPECT_EQ(buffer.window(), kcPelRect(4, 4, 6, 6));

  buffer.window(kcPelRect(-100, 5, 7, 100), true);
  EXPECT_EQ(buffer.window(), kcPelRect(2, 5, 7, 11));
  buffer.window(kcPelRect(2, 3, 12, 11), false);  // exactly the pels
  EXPECT_EQ(buffer.window(), buffer.pelBounds());

  // Clipping a rectangle that misses the pels leaves an empty window that
  // still lies on the pels.
  buffer.window(kcPelRect(50, 50, 60, 60), true);
  EXPECT_EQ(buffer.width(), 0);
  EXPECT_EQ(buffer.height(), 0);
  EXPECT_EQ(buffer.window().rectangle().intersect(buffer.pelBounds().rectangle(), false).left(),
            buffer.window().left);

  EXPECT_THROW(kcPelBuffer<unsigned char>().window(kcPelRect(0, 0, 1, 1), true), kcBadPointer);
}

TEST(PelBuffer, CopiesSharePelsButNotGeometry) {
  kcPelBuffer<unsigned char> original(6, 6);
  kcPelBuffer<unsigned char> copy = original;
  copy.window(kcPelRect(1, 1, 3, 3), false);
  copy.offset(10, 10);
  copy.clientFromImageXform(kShift);
  EXPECT_EQ(original.window(), kcPelRect(0, 0, 6, 6));
  EXPECT_EQ(original.offsetX(), 0);
  EXPECT_EQ(original.clientFromImageXform(), kcXform<2>());

  copy.pointToRow(11)[0] = 42;  // image (11, 11) of the copy is pel (1, 1)
  EXPECT_EQ(original.pointToRow(1)[1], 42);

  // kfPelCopy's pels are its own.
  kcPelBuffer<unsigned char> independent = kfPelCopy(original);
  independent.pointToRow(1)[1] = 7;
  EXPECT_EQ(original.pointToRow(1)[1], 42);
}

TEST(ThreePlane, BuildsFromEqualWindowsOnly) {
  const kcPelBuffer<unsigned char> a(4, 3), b(4, 3), small(3, 3);
  EXPECT_TRUE(kc3PlanePelBuffer(a, b, a).isBound());
  EXPECT_FALSE(kc3PlanePelBuffer(a, kcPelBuffer<unsigned char>(), b).isBound());
  EXPECT_THROW(kc3PlanePelBuffer(a, b, small), kcBadArgument);

  // Same size suffices: the windows may sit anywhere.
  kcPelBuffer<unsigned char> elsewhere(10, 10);
  elsewhere.window(kcPelRect(5, 6, 9, 9), false);
  const kc3PlanePelBuffer image(a, elsewhere, b);
  EXPECT_EQ(image.width(), 4);
  EXPECT_EQ(image.plane1().pointToRow(6), elsewhere.pointToRow(6));  // shared, not copied
}

TEST(ThreePlane, GeometryChangesApplyToAllPlanesOrNone) {
  std::mt19937 rng(2);
  const kcPelBuffer<unsigned char> p0 = randomBuffer(rng, 8, 8), p1 = randomBuffer(rng, 8, 8);
  const kcPelBuffer<unsigned char> p2 = randomBuffer(rng, 8, 8, 1, 0);  // its pels sit one column right
  kc3PlanePelBuffer image(p0, p1, p2);

  // Fine for planes 0 and 1, outside plane 2: refused, and no plane changes.
  EXPECT_THROW(image.window(kcPelRect(0, 0, 3, 3), false), kcBadArgument);
  // Clipping would cut plane 2 differently from the others: refused too.
  EXPECT_THROW(image.window(kcPelRect(0, 0, 20, 20), true), kcBadArgument);
  EXPECT_EQ(image.pelPlane(0).window(), kcPelRect(0, 0, 8, 8));
  EXPECT_EQ(image.pelPlane(1).window(), kcPelRect(0, 0, 8, 8));
  EXPECT_EQ(image.pelPlane(2).window(), kcPelRect(1, 0, 9, 8));

  image.offset(1, 2);
  image.clientFromImageXform(kShift);
  image.window(kcPelRect(2, 3, 5, 9), false);
  for (int k = 0; k < 3; ++k) {
    const kcPelBuffer<unsigned char>& plane = image.pelPlane(k);
    EXPECT_EQ(plane.window(), kcPelRect(2, 3, 5, 9)) << "plane " << k;
    EXPECT_EQ(plane.clientFromImageXform(), kShift) << "plane " << k;
    EXPECT_EQ(plane.offsetX(), 1) << "plane " << k;
  }
  EXPECT_EQ(pelAt(image.plane2(), 2, 3), p2.pointToRow(1)[1]);  // pel (1, 1)
}

TEST(Numbers, IRoundRoundsHalvesAwayFromZeroAndSaturates) {
  EXPECT_EQ(iRound(2.5f), 3);
  EXPECT_EQ(iRound(-2.5f), -3);
  EXPECT_EQ(iRound(2.4999998f), 2);
  EXPECT_EQ(iRound(-0.4f), 0);
  EXPECT_EQ(iRound(1e20f), INT_MAX);
  EXPECT_EQ(iRound(-1e20f), INT_MIN);
  EXPECT_EQ(iRound(std::numeric_limits<float>::quiet_NaN()), 0);
}

}  // namespace
