#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "colc/host/exceptions.h"
#include "colc/host/persist.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

std::string fileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A temporary file left behind shows up as an extra entry.
long entries(const fs::path& dir) { return std::distance(fs::directory_iterator(dir), fs::directory_iterator()); }

}  // namespace

TEST(FileArchive, HoldsTheMemoryArchiveBytesBetweenMarkAndChecksum) {
  const ScratchFolder tmp;
  const fs::path dir = tmp.path(), path = dir / "record.bin";
  std::string text = "pel map";
  kcMemoryArchive memory;
  memory || text;
  {
    kcFileArchive out(path, kcArchive::write);
    out || text;
  }
  const std::string file = fileText(path);
  ASSERT_EQ(file.size(), 8 + memory.data().size() + 4);
  EXPECT_EQ(file.substr(8, memory.data().size()), std::string(memory.data().begin(), memory.data().end()));
  EXPECT_EQ(entries(dir), 1);
  kcFileArchive in(path, kcArchive::read);
  EXPECT_EQ(in.bytesLeft(), memory.data().size());
  EXPECT_THROW(in || text || text, kcArchive::EndOfData);

  const std::string missing = (dir / "missing" / "record.bin").string();
  try {
    kcFileArchive archive(missing, kcArchive::write);
    ADD_FAILURE() << "opened " << missing;
  } catch (const kcIOError& e) {
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
  }
}

// Every single bit flip, in the mark, the bytes or the checksum, is found;
// a file of the bare bytes, as written before the mark, still reads.
TEST(FileArchive, RefusesEveryFlippedBitAndReadsBareBytes) {
  const ScratchFolder tmp;
  const fs::path path = fs::path(tmp.path()) / "record.bin";
  std::string text = "gain 1.25", back;
  {
    kcFileArchive out(path, kcArchive::write);
    out || text;
  }
  const std::string good = fileText(path);
  for (std::size_t bit = 0; bit < 8 * good.size(); ++bit) {
    std::string bad = good;
    bad[bit / 8] = static_cast<char>(bad[bit / 8] ^ (1 << (bit % 8)));
    std::ofstream(path, std::ios::binary) << bad;
    EXPECT_THROW(kcFileArchive(path, kcArchive::read), kcArchive::BadData) << "bit " << bit;
  }
  std::ofstream(path, std::ios::binary) << good.substr(8, good.size() - 12);
  kcFileArchive bare(path, kcArchive::read);
  bare || back;
  EXPECT_EQ(back, text);
}

// Inputs that are not regular files are refused at once: reading /dev/zero
// would never end, opening a named pipe would wait for a writer.
TEST(FileArchive, RefusesDevicesPipesAndOversizedFiles) {
  const ScratchFolder tmp;
  const fs::path dir = tmp.path(), pipe = dir / "pipe", big = dir / "big";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::ofstream(big).close();
  fs::resize_file(big, kcFileArchive::kMaxFileBytes + 1);  // sparse: costs no disk
  for (const fs::path& path : {fs::path("/dev/zero"), pipe, big, dir}) {
    try {
      kcFileArchive archive(path, kcArchive::read);
      ADD_FAILURE() << "read " << path;
    } catch (const kcIOError& e) {
      EXPECT_NE(e.text().find(path.string()), std::string::npos) << e.text();
    }
  }
}

// The file is replaced only when the archive's own scope ends normally;
// an archive that lives wholly inside a destructor run by unwinding does.
TEST(FileArchive, CommitsOnlyWhenItsScopeEndsNormally) {
  const ScratchFolder tmp;
  const fs::path dir = tmp.path(), path = dir / "record.bin";
  std::ofstream(path) << "old";
  try {
    kcFileArchive out(path, kcArchive::write);
    std::string text = "new";
    out || text;
    throw std::runtime_error("computation failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(fileText(path), "old");
  EXPECT_EQ(entries(dir), 1);

  struct SavesOnDestruction {
    std::string path;
    ~SavesOnDestruction() {
      kcFileArchive out(path, kcArchive::write);
      std::string text = "saved";
      out || text;
    }
  };
  try {
    SavesOnDestruction saver{path};
    throw std::runtime_error("unwinding");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(fileText(path).substr(12, 5), "saved");
}

// A small record fails when it is flushed on close, a large one while it
// is written; either way one kcIOError, and no file is left.
TEST(FileArchive, AFailedWriteReportsOnceAndLeavesNoFile) {
  const ScratchFolder tmp;
  const fs::path dir = tmp.path();
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  for (std::size_t size : {100u, 100000u}) {
    int errors = 0;
    {
      rlimit small = saved;
      small.rlim_cur = 16;  // writes beyond 16 bytes fail as on a full disk
      ::setrlimit(RLIMIT_FSIZE, &small);
      kcFileArchive out(dir / "record.bin", kcArchive::write);
      std::vector<unsigned char> data(size, 7);
      try {
        out || data;
        out.close();
      } catch (const kcIOError&) {
        ++errors;
      }
      ::setrlimit(RLIMIT_FSIZE, &saved);
    }  // the destructor neither commits nor throws again
    EXPECT_EQ(errors, 1) << size;
    EXPECT_EQ(entries(dir), 0) << size;
  }
}
