#include "host/runtime/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "colc/host/exceptions.h"

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::vector<unsigned char> kfReadRegularFile(const std::string& path, std::uint64_t maxBytes, const std::string& kind) {
  auto refusal = [&](const std::string& cause) {
    return kcIOError("cannot read " + kind + " '" + path + "': " + cause);
  };
  auto tooLarge = [&] {
    return refusal("it holds more than " + std::to_string(maxBytes) + " bytes, the most a " + kind + " may hold");
  };
  // Without O_NONBLOCK, opening a named pipe waits for a writer.
  const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) throw refusal(std::strerror(errno));
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) throw refusal(std::strerror(errno));
  if (S_ISDIR(status.st_mode)) throw refusal("it is a folder");
  if (!S_ISREG(status.st_mode)) throw refusal("it is not a regular file but a device, a named pipe or a socket");
  if (static_cast<std::uint64_t>(status.st_size) > maxBytes) throw tooLarge();

  // The file may grow while it is read: the bound holds for what is read.
  std::vector<unsigned char> bytes(static_cast<std::size_t>(status.st_size));
  std::size_t used = 0;
  for (;;) {
    if (used == bytes.size()) {
      if (bytes.size() > maxBytes) throw tooLarge();
      bytes.resize(std::max<std::size_t>(used + 1, std::min<std::uint64_t>(2 * used, maxBytes + 1)));
    }
    const ssize_t n = ::read(file.get(), bytes.data() + used, bytes.size() - used);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw refusal(std::strerror(errno));
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  if (used > maxBytes) throw tooLarge();
  bytes.resize(used);
  return bytes;
}
