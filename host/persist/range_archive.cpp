#include "colc/host/imaging.h"
#include "colc/host/persist.h"

// A range is its emptiness flag, then start and end. Both numbers are
// always stored so that every range takes the same 17 bytes; an empty
// range stores 0.0 for them and reads back as the empty range.
kcArchive& operator||(kcArchive& ar, kcRange& range) {
  bool empty = range.isEmpty();
  double start = range.start();
  double end = range.end();
  ar || empty || start || end;
  if (ar.isReading()) range = empty ? kcRange::EmptyRange() : kcRange(start, end);
  return ar;
}
