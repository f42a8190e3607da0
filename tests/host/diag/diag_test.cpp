// Diagnostics records and objects.
#include <gtest/gtest.h>

#include "colc/host/diag.h"

namespace {

TEST(Diagnostics, RecordsShareOrCopyImagesAndAreReachedByIndex) {
  kcDiagObject diag;
  kcPelBuffer<unsigned char> image(3, 2);
  kfSMDAddImage(&diag, 0, image, "no flags");
  kfSMDAddImage(nullptr, 0x10000, image, "no object");
  kfSMDAddImage(&diag, 0x10000, image, "Src");
  kcDiagRecord& record = diag.diagRecord(0);
  record.image(image, true);
  record.image(kcPelBuffer_const<unsigned char>(), true);  // inputs are recorded before they are checked
  diag.newDiagRecord();
  EXPECT_EQ(&record, &diag.diagRecord(0));  // earlier records stay put
  EXPECT_THROW(diag.diagRecord(2), kcBadArgument);
  EXPECT_THROW(diag.diagRecord(-1), kcBadArgument);

  image.pointToRow(1)[2] = 9;
  EXPECT_EQ(record.annotation(), "Src");
  EXPECT_EQ(record.greyImages()[0].pointToRow(1)[2], 9);  // shared
  EXPECT_EQ(record.greyImages()[1].pointToRow(1)[2], 0);  // copied
  EXPECT_FALSE(record.greyImages()[2].isBound());
}

}  // namespace
