// One archive pass: while an object is written or read through an archive,
// every level of its class hierarchy is handled once (kcPersistent::haveVisited).
#pragma once

class kcArchivePass {
 public:
  kcArchivePass();
  ~kcArchivePass();
  kcArchivePass(const kcArchivePass&) = delete;
  kcArchivePass& operator=(const kcArchivePass&) = delete;

 private:
  bool outer_;
};
