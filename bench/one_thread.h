// OpenCV's own threads off while a benchmark runs, so that a benchmark
// and its baseline each use one core whatever OpenCV would spread.
#pragma once

#include <opencv2/core.hpp>

class OneThread {
 public:
  OneThread() : threads_(cv::getNumThreads()) { cv::setNumThreads(1); }
  ~OneThread() { cv::setNumThreads(threads_); }
  OneThread(const OneThread&) = delete;
  OneThread& operator=(const OneThread&) = delete;

 private:
  int threads_;
};
