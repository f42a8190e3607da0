#include <gtest/gtest.h>

#include <typeinfo>

#include "colc/records/errors.h"
#include "support/archive_checks.h"

namespace {

using Defs = kcColorCalibrationDefs;

int gDestroyed = 0;
struct CountedBadImages : Defs::BadImages {
  using BadImages::BadImages;
  ~CountedBadImages() override { ++gDestroyed; }
};

std::vector<unsigned char> written(kcPersistent&& object) {
  kcMemoryArchive ar;
  ar.writeObject(object);
  return ar.data();
}

// The stored class name: its length as 32 bits, then the name.
std::vector<unsigned char> nameBytes(const std::string& name) {
  std::vector<unsigned char> bytes(4 + name.size());
  bytes[0] = static_cast<unsigned char>(name.size());
  std::copy(name.begin(), name.end(), bytes.begin() + 4);
  return bytes;
}

}  // namespace

TEST(ErrorClasses, SuicideAndRethrowDeletesTheHeapObjectAndThrowsACopy) {
  Defs::Errors* error = new CountedBadImages("lost");
  try {
    error->suicideAndRethrow();
  } catch (const Defs::BadImages& e) {
    EXPECT_EQ(typeid(e), typeid(Defs::BadImages));
    EXPECT_EQ(e.text(), "lost");
  }
  EXPECT_EQ(gDestroyed, 1);
  EXPECT_THROW((new Defs::BadParams("p"))->suicideAndRethrow(), Defs::BadParams);
}

TEST(ErrorClasses, StoredLevelByLevelRebuiltFromTheClassTableAndRefusedWhenDamaged) {
  std::vector<unsigned char> expected = nameBytes("kcColorCalibrationDefs::BadImages");
  for (int b : {0, 0, 0, 1, 0, 0, 0, int{'x'}}) expected.push_back(static_cast<unsigned char>(b));
  EXPECT_EQ(written(Defs::BadImages("x")), expected);

  kcMemoryArchive in(expected);
  const std::unique_ptr<kcPersistent> object = in.readObject();
  const auto& back = dynamic_cast<const Defs::BadImages&>(*object);
  EXPECT_EQ(back.errorNumber(), 268473089);
  EXPECT_EQ(back.text(), "x");
  expectCorruptionRefused(written(Defs::BadImages("Can not find pose of the calibration image in the acquired Image.")),
                          [](kcArchive& ar) { ar.readObject(); });
}

TEST(ErrorClasses, UnknownVersionNamesTheLevelBeforeReadingOn) {
  const std::size_t first = nameBytes("kcColorCalibrationDefs::BadParams").size();
  for (const auto& [level, name] : {std::pair<std::size_t, std::string>{0, "kcColorCalibrationDefs::BadParams"},
                                    {1, "kcColorCalibrationDefs::Errors"}}) {
    std::vector<unsigned char> bytes = written(Defs::BadParams("m"));
    bytes[first + level] = 1;
    kcMemoryArchive in(bytes);
    try {
      in.readObject();
      ADD_FAILURE() << "version 1 accepted at " << name;
    } catch (const kcArchive::UnknownVersion& e) {
      EXPECT_EQ(e.file(), name);
      EXPECT_EQ(e.line(), 0);
      EXPECT_EQ(in.bytesLeft(), bytes.size() - first - level - 1);
    }
  }
}
