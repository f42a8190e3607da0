#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "colc/host/exceptions.h"
#include "colc/host/persist.h"

namespace fs = std::filesystem;

namespace {

class FileArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* root = std::getenv("COLC_TEST_TMP");
    dir_ = fs::path(root ? root : fs::temp_directory_path().string()) /
           ("file_archive_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "record.bin").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::vector<unsigned char> fileBytes() const {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // The names in the directory: a temporary file left behind shows up here.
  std::vector<std::string> names() const {
    std::vector<std::string> result;
    for (const auto& entry : fs::directory_iterator(dir_)) result.push_back(entry.path().filename().string());
    return result;
  }

  fs::path dir_;
  std::string path_;
};

// Lowers the file size limit of the process for the length of a test, so
// that writes fail as on a full disk.
struct FileSizeLimit {
  explicit FileSizeLimit(rlim_t bytes) {
    ::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit lowered = saved;
    lowered.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved); }
  rlimit saved{};
};

}  // namespace

TEST_F(FileArchiveTest, HoldsExactlyTheMemoryArchiveBytesAndReadsThemBack) {
  std::string text = "pel map";
  std::vector<unsigned char> table = {0, 1, 255};
  double value = -2.5;
  kcMemoryArchive memory;
  memory || text || table || value;
  {
    kcFileArchive out(path_, kcArchive::write);
    out || text || table || value;
  }
  EXPECT_EQ(fileBytes(), memory.data());
  EXPECT_EQ(names(), std::vector<std::string>{"record.bin"});

  std::string text2;
  std::vector<unsigned char> table2;
  double value2 = 0.0;
  kcFileArchive in(path_, kcArchive::read);
  in || text2 || table2 || value2;
  EXPECT_EQ(std::tie(text2, table2, value2), std::tie(text, table, value));
  EXPECT_EQ(in.bytesLeft(), 0u);
  EXPECT_THROW(in || value2, kcArchive::EndOfData);
}

TEST_F(FileArchiveTest, OpenFailuresNameThePath) {
  const std::string missingDir = (dir_ / "missing" / "record.bin").string();
  for (const auto& [path, direction] : {std::pair{path_, kcArchive::read}, std::pair{missingDir, kcArchive::write}}) {
    try {
      kcFileArchive archive(path, direction);
      ADD_FAILURE() << "opened " << path;
    } catch (const kcIOError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
}

TEST_F(FileArchiveTest, AnExceptionLeavingTheScopeKeepsThePreviousFile) {
  std::ofstream(path_) << "old";
  const std::vector<unsigned char> old = fileBytes();
  try {
    kcFileArchive out(path_, kcArchive::write);
    double value = 1.0;
    out || value;
    throw std::runtime_error("computation failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(fileBytes(), old);
  EXPECT_EQ(names(), std::vector<std::string>{"record.bin"});
}

// An archive that lives wholly inside a destructor run by unwinding ends
// normally, so it must still commit.
TEST_F(FileArchiveTest, AnArchiveOpenedDuringUnwindingCommits) {
  struct SavesOnDestruction {
    std::string path;
    ~SavesOnDestruction() {
      kcFileArchive out(path, kcArchive::write);
      std::string text = "saved";
      out || text;
    }
  };
  try {
    SavesOnDestruction saver{path_};
    throw std::runtime_error("unwinding");
  } catch (const std::runtime_error&) {
  }
  std::string text;
  kcFileArchive in(path_, kcArchive::read);
  in || text;
  EXPECT_EQ(text, "saved");
}

// A small record fails when it is flushed on close, a large one already
// while it is written; either way one kcIOError and no file.
TEST_F(FileArchiveTest, AFailedWriteReportsOnceAndLeavesNoFile) {
  for (std::size_t size : {100u, 100000u}) {
    int errors = 0;
    {
      FileSizeLimit limit(16);
      kcFileArchive out(path_, kcArchive::write);
      std::vector<unsigned char> data(size, 7);
      try {
        out || data;
        out.close();
      } catch (const kcIOError&) {
        ++errors;
      }
    }  // the destructor neither commits nor throws again
    EXPECT_EQ(errors, 1) << size;
    EXPECT_TRUE(names().empty()) << size;
  }
}

TEST_F(FileArchiveTest, WritingAfterCloseIsRefused) {
  kcFileArchive out(path_, kcArchive::write);
  out.close();
  out.close();
  double value = 1.0;
  EXPECT_THROW(out || value, kcIOError);
}
