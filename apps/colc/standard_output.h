// Standard output, checked. Everything written to std::cout goes through a
// buffer that remembers the first failed write, so that output lost to a
// full disk or a closed pipe ends the program with a failure instead of
// status 0.
#pragma once

#include <streambuf>
#include <string>
#include <vector>

class CheckedStandardOutput : public std::streambuf {
 public:
  // Takes std::cout's place until destroyed.
  CheckedStandardOutput();
  CheckedStandardOutput(const CheckedStandardOutput&) = delete;
  CheckedStandardOutput& operator=(const CheckedStandardOutput&) = delete;
  ~CheckedStandardOutput() override;

  // Writes out what is buffered. When the command itself succeeded
  // (status 0) but some output was lost, prints one line on standard error
  // and gives the status of an unwritable output; otherwise status.
  int finish(int status);

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  void writeBuffered();

  std::vector<char> buffer_;
  std::streambuf* replaced_;
  int error_ = 0;  // errno of the first failed write
};
