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

// Reaches its BadParams level twice in one archive pass.
struct TwiceSerialized : Defs::BadParams {
  using BadParams::BadParams;
  static kcPersistent* make() { return new TwiceSerialized; }
  void dispatchSerialize(kcArchive& ar) override {
    BadParams::dispatchSerialize(ar);
    BadParams::dispatchSerialize(ar);
  }
};
const kc_Instantiator gTwiceSerialized(typeid(TwiceSerialized), &TwiceSerialized::make);

std::vector<unsigned char> written(kcPersistent& object) {
  kcMemoryArchive ar;
  ar.writeObject(object);
  return ar.data();
}

// The stored class name, as the archive writes it.
std::vector<unsigned char> nameBytes(const std::string& name) {
  std::vector<unsigned char> bytes(4 + name.size());
  bytes[0] = static_cast<unsigned char>(name.size());
  std::copy(name.begin(), name.end(), bytes.begin() + 4);
  return bytes;
}

// Reads an error back through the table of persistent classes.
template <class Error>
void expectRebuilt(Error original) {
  kcMemoryArchive in(written(original));
  const std::unique_ptr<kcPersistent> object = in.readObject();
  const auto* back = dynamic_cast<const Error*>(object.get());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(typeid(*back), typeid(Error));
  EXPECT_EQ(back->text(), original.text());
  EXPECT_EQ(back->errorNumber(), original.errorNumber());
  EXPECT_EQ(in.bytesLeft(), 0u);
}

}  // namespace

TEST(ErrorClasses, FixedNumbersWhateverTheMessage) {
  for (const std::string& message : {std::string(), std::string("No pattern found")}) {
    EXPECT_EQ(Defs::BadParams(message).errorNumber(), 268473088);
    EXPECT_EQ(Defs::BadImages(message).errorNumber(), 268473089);
    const Defs::Errors& base = Defs::BadImages(message);
    EXPECT_EQ(base.text(), message);
  }
}

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

TEST(ErrorClasses, StoredLevelByLevelAndRebuiltByClassName) {
  Defs::BadImages error("x");
  std::vector<unsigned char> expected = nameBytes("kcColorCalibrationDefs::BadImages");
  expected.insert(expected.end(), {0, 0, 0, 1, 0, 0, 0, 'x'});
  EXPECT_EQ(written(error), expected);

  expectRebuilt(error);
  expectRebuilt(Defs::BadParams("y"));
}

TEST(ErrorClasses, UnknownVersionNamesTheLevelAndStopsThere) {
  Defs::BadParams error("m");
  const std::size_t levels = nameBytes("kcColorCalibrationDefs::BadParams").size();
  const std::pair<std::size_t, const char*> cases[] = {{0, "kcColorCalibrationDefs::BadParams"},
                                                       {1, "kcColorCalibrationDefs::Errors"}};
  for (const auto& [level, name] : cases) {
    std::vector<unsigned char> bytes = written(error);
    bytes[levels + level] = 1;
    kcMemoryArchive in(bytes);
    try {
      in.readObject();
      ADD_FAILURE() << "version 1 accepted at " << name;
    } catch (const kcArchive::UnknownVersion& e) {
      EXPECT_EQ(e.file(), name);
      EXPECT_EQ(e.line(), 0);
      EXPECT_EQ(in.bytesLeft(), bytes.size() - levels - level - 1);
    }
  }
}

TEST(ErrorClasses, ALevelReachedTwiceInOnePassIsStoredOnce) {
  TwiceSerialized twice("m");
  Defs::BadParams once("m");
  const std::vector<unsigned char> a = written(twice), b = written(once);
  const std::size_t nameA = a[0] + 4u, nameB = b[0] + 4u;
  EXPECT_EQ(std::vector<unsigned char>(a.begin() + nameA, a.end()),
            std::vector<unsigned char>(b.begin() + nameB, b.end()));
  kcMemoryArchive in(a);
  EXPECT_EQ(dynamic_cast<const Defs::Errors&>(*in.readObject()).text(), "m");
  EXPECT_EQ(in.bytesLeft(), 0u);
}

TEST(ErrorClasses, DamagedArchivesAreRefusedCleanly) {
  Defs::BadImages error("Can not find pose of the calibration image in the acquired Image.");
  expectCorruptionRefused(written(error), [](kcArchive& ar) { ar.readObject(); });
}
