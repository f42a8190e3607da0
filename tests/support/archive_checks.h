// Helpers for archive tests: the bytes of a stored value, and checks that
// damaged archives are refused cleanly.
#pragma once

#include <functional>
#include <vector>

#include "colc/host/persist.h"

template <class T>
std::vector<unsigned char> archived(T value) {
  kcMemoryArchive ar;
  ar || value;
  return ar.data();
}

template <class T>
T restored(kcArchive& ar) {
  T value{};
  ar || value;
  return value;
}

template <class T>
T restored(const std::vector<unsigned char>& bytes) {
  kcMemoryArchive ar(bytes);
  return restored<T>(ar);
}

// Runs read on every strict prefix of bytes, which must throw a
// kcException, and on copies with one to three random bits flipped, which
// must either read or throw a kcException (any other exception fails the
// test; running under the sanitizers catches reads outside the data).
void expectCorruptionRefused(const std::vector<unsigned char>& bytes, const std::function<void(kcArchive&)>& read,
                             int flips = 2000);
