// What a fuzz target may do with its input: use it, or refuse it with a
// kcException. Everything else is a finding: a crash or sanitizer report,
// any other exception escaping, or a broken promise checked with fuzzCheck.
#pragma once

#include <stdexcept>

// A promise of the code under test that an input broke. Deliberately not a
// kcException, so that no target can mistake it for a clean refusal.
class FuzzFinding : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

inline void fuzzCheck(bool holds, const char* promise) {
  if (!holds) throw FuzzFinding(promise);
}
