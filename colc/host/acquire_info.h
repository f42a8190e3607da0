// Host acquisition information: what came with one acquisition.
#pragma once

#include <cstdint>
#include <string>

#include "colc/host/persist.h"

// Why an acquisition failed; status 0 means it did not.
class kcAcqFailure {
 public:
  enum Status : std::int32_t { eNone = 0, eFailed = 1, eAborted = 2, eTimedOut = 3, eOverrun = 4 };

  kcAcqFailure() = default;
  kcAcqFailure(std::int32_t status, const std::string& description) : status_(status), description_(description) {}
  std::int32_t status() const { return status_; }
  bool isFailure() const { return status_ != 0; }
  const std::string& description() const { return description_; }

 private:
  std::int32_t status_ = eNone;
  std::string description_;
};

class kcAcquireInfo {
 public:
  kcAcqFailure failure() const { return failure_; }
  void failure(const kcAcqFailure& failure) { failure_ = failure; }
  // The number of the acquisition in its FIFO, counted from 1 (0: none yet).
  unsigned long sequence() const { return sequence_; }
  void sequence(unsigned long n) { sequence_ = n; }

 private:
  friend kcArchive& operator||(kcArchive& ar, kcAcquireInfo& info);
  kcAcqFailure failure_;
  unsigned long sequence_ = 0;
};
kcArchive& operator||(kcArchive& ar, kcAcquireInfo& info);
