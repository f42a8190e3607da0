// SHA-256 digests, fed piece by piece.
#pragma once

#include <cstddef>
#include <string>

typedef struct _GChecksum GChecksum;

class kcSha256 {
 public:
  kcSha256();
  ~kcSha256();
  kcSha256(const kcSha256&) = delete;
  kcSha256& operator=(const kcSha256&) = delete;

  void add(const void* data, std::size_t n);
  // The digest of everything added, 64 lower-case hex digits; nothing may
  // be added after.
  std::string hex();

 private:
  GChecksum* checksum_;
};
