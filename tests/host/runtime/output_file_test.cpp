#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "colc/host/exceptions.h"
#include "host/runtime/output_file.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

long entries(const std::string& dir) { return std::distance(fs::directory_iterator(dir), fs::directory_iterator()); }

// The kcIOError's text, or "" when nothing was thrown.
template <class Operation>
std::string refusalOf(Operation operation) {
  try {
    operation();
  } catch (const kcIOError& e) {
    return e.text();
  }
  return "";
}

// Every path that is not a regular file is refused by the early check, by
// the writer before it makes anything, and when it turns up between the
// writer's start and its commit; the node stays what it was. As root, the
// device nodes are made in the scratch folder (a copy of /dev/full and
// /dev/null), so that a fault here cannot replace the system's own.
TEST(OutputFile, NeverReplacesWhatIsNotARegularFile) {
  const ScratchFolder tmp;
  const std::string pipe = tmp / "pipe", folder = tmp / "folder", link = tmp / "link-to-pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  fs::create_directory(folder);
  fs::create_symlink(pipe, link);
  std::vector<std::pair<std::string, std::string>> nodes = {
      {pipe, "a named pipe"}, {folder, "a folder"}, {link, "a named pipe"}};
  if (::geteuid() == 0) {
    const std::string full = tmp / "full", null = tmp / "null";
    ASSERT_EQ(::mknod(full.c_str(), S_IFCHR | 0666, ::makedev(1, 7)), 0);
    ASSERT_EQ(::mknod(null.c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0);
    nodes.insert(nodes.end(), {{full, "a character device"}, {null, "a character device"}});
  } else {
    nodes.push_back({"/dev/null", "a character device"});
  }
  const long before = entries(tmp.path());
  for (const auto& [path, kind] : nodes) {
    struct stat was {};
    ASSERT_EQ(::stat(path.c_str(), &was), 0);
    const std::string expected = "cannot write cube '" + path + "': it is ";
    EXPECT_NE(refusalOf([&] { kfCheckOutputFile(path, "cube"); }).find(expected), std::string::npos) << path;
    EXPECT_NE(refusalOf([&] { kfWriteOutputFile(path, "cube", "1 2 3\n"); }).find(kind), std::string::npos) << path;
    struct stat is {};
    ASSERT_EQ(::stat(path.c_str(), &is), 0);
    EXPECT_EQ(is.st_mode, was.st_mode) << path;
    EXPECT_EQ(is.st_rdev, was.st_rdev) << path;
  }
  EXPECT_EQ(entries(tmp.path()), before);

  // A named pipe put where the file goes while it is written.
  const std::string late = tmp / "late";
  {
    kcOutputFile file(late, "report page");
    file.write("<html>", 6);
    ASSERT_EQ(::mkfifo(late.c_str(), 0600), 0);
    EXPECT_NE(refusalOf([&] { file.commit(); }).find("'" + late + "': it is not a regular file but a named pipe"),
              std::string::npos);
  }
  EXPECT_TRUE(fs::is_fifo(late));
  EXPECT_EQ(entries(tmp.path()), before + 1);

  EXPECT_NE(refusalOf([&] { kfCheckOutputFile(tmp / "missing/cube", "cube"); }).find("No such file or directory"),
            std::string::npos);
}

// A regular file is replaced whole, keeping its permissions; through a
// link, the file it names is replaced and the link stays.
TEST(OutputFile, ReplacesRegularFilesWholeThroughLinks) {
  const ScratchFolder tmp;
  const std::string path = tmp / "cube", link = tmp / "link";
  std::ofstream(path) << "old";
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(path, link);
  {
    kcOutputFile file(link, "cube");
    const std::string big(200000, 'x');  // beyond the writer's buffer
    file.write(big.data(), big.size());
    file.write("!", 1);
    EXPECT_EQ(fileText(path), "old");  // nothing shows before the commit
    file.commit();
  }
  EXPECT_EQ(fileText(path), std::string(200000, 'x') + "!");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  kfWriteOutputFile(tmp / "new", "cube", "");
  EXPECT_TRUE(fs::is_regular_file(tmp / "new"));
  EXPECT_EQ(entries(tmp.path()), 3);
}

// A write that fails as on a full disk (here: beyond the file size limit)
// names the cause, leaves the old file as it was and nothing beside it,
// whether it fails while writing or when the rest is flushed on commit.
TEST(OutputFile, AFailedWriteLeavesTheOldFileAndNoOther) {
  const ScratchFolder tmp;
  const std::string path = tmp / "cube";
  std::ofstream(path) << "old";
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  for (std::size_t size : {1000u, 1000000u}) {
    rlimit small = saved;
    small.rlim_cur = 512;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const std::string why = refusalOf([&] { kfWriteOutputFile(path, "cube", std::string(size, 'x')); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_NE(why.find("cannot write cube '" + path + "': File too large"), std::string::npos) << why;
    EXPECT_EQ(fileText(path), "old");
    EXPECT_EQ(entries(tmp.path()), 1);
  }
}

}  // namespace
