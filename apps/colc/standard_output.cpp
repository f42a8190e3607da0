#include "standard_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "app/exit_status.h"

CheckedStandardOutput::CheckedStandardOutput() : buffer_(8192), replaced_(std::cout.rdbuf(this)) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

CheckedStandardOutput::~CheckedStandardOutput() {
  writeBuffered();
  std::cout.rdbuf(replaced_);
}

void CheckedStandardOutput::writeBuffered() {
  const char* next = pbase();
  while (next < pptr() && error_ == 0) {
    const ssize_t n = ::write(STDOUT_FILENO, next, static_cast<std::size_t>(pptr() - next));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error_ = errno;
    else next += n;
  }
  // What cannot be written is dropped: the failure is reported once, at the end.
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

CheckedStandardOutput::int_type CheckedStandardOutput::overflow(int_type c) {
  writeBuffered();
  if (!traits_type::eq_int_type(c, traits_type::eof())) sputc(traits_type::to_char_type(c));
  return traits_type::not_eof(c);
}

int CheckedStandardOutput::sync() {
  writeBuffered();
  return 0;
}

int CheckedStandardOutput::finish(int status) {
  writeBuffered();
  if (error_ == 0 || status != 0) return status;
  std::cerr << "colc: cannot write to standard output: " << std::strerror(error_) << "\n";
  return static_cast<int>(ExitStatus::unwritableFile);
}
