// Diagnostics records, objects and the named colours.
#include <gtest/gtest.h>

#include "colc/host/diag.h"

namespace {

TEST(DiagRecord, ImagesAreSharedOrCopiedAsAsked) {
  kcPelBuffer<unsigned char> grey(3, 2);
  kcDiagRecord record;
  record.image(grey, false);
  record.image(grey, true);
  grey.pointToRow(1)[2] = 9;
  EXPECT_EQ(record.greyImages()[0].pointToRow(1)[2], 9);
  EXPECT_EQ(record.greyImages()[1].pointToRow(1)[2], 0);

  kc3PlanePelBuffer colour(grey, grey, grey);
  record.image(colour, true);
  grey.pointToRow(0)[0] = 4;
  EXPECT_EQ(record.colorImages()[0].plane2().pointToRow(0)[0], 0);

  // A computation may record an input before refusing it as unbound.
  record.image(kcPelBuffer_const<unsigned char>(), true);
  record.image(kc3PlanePelBuffer(), true);
  EXPECT_FALSE(record.greyImages()[2].isBound());
  EXPECT_FALSE(record.colorImages()[1].isBound());
}

TEST(DiagObject, RecordsByIndexAndAddImage) {
  kcDiagObject diag;
  const kcPelBuffer<unsigned char> image(2, 2);
  kfSMDAddImage(&diag, 0, image, "ignored without flags");
  kfSMDAddImage(nullptr, 0x10000, image, "ignored without an object");
  EXPECT_EQ(diag.numRecords(), 0);
  EXPECT_THROW(diag.diagRecord(0), kcBadArgument);
  EXPECT_THROW(diag.diagRecord(-1), kcBadArgument);

  kfSMDAddImage(&diag, 0x10000, image, "Src");
  kcDiagRecord& first = diag.diagRecord(0);
  kfSMDAddImage(&diag, 0x20000, image, "mapped src");
  ASSERT_EQ(diag.numRecords(), 2);
  EXPECT_EQ(&first, &diag.diagRecord(0));  // earlier records stay where they are
  EXPECT_EQ(first.annotation(), "Src");
  EXPECT_EQ(std::as_const(diag).diagRecord(1).annotation(), "mapped src");
  ASSERT_EQ(first.greyImages().size(), 1u);
  EXPECT_EQ(first.greyImages()[0].pointToRow(0), image.pointToRow(0));
  EXPECT_THROW(diag.diagRecord(2), kcBadArgument);
}

TEST(Colors, NamedColoursAndTransparentPass) {
  EXPECT_EQ(kcColor::red, kcColor(255, 0, 0));
  EXPECT_EQ(kcColor::green, kcColor(0, 255, 0));
  EXPECT_EQ(kcColor::blue, kcColor(0, 0, 255));
  EXPECT_EQ(kcColor::white, kcColor(255, 255, 255));
  EXPECT_EQ(kcColor::black, kcColor(0, 0, 0));
  EXPECT_TRUE(kcColor::pass.isTransparent());
  EXPECT_FALSE(kcColor::black.isTransparent());
}

}  // namespace
