// A benchmark against a baseline timed in the same run. Subject and
// baseline run alternately, each timed on the thread's CPU clock (time the
// thread spends waiting for a core on a busy machine does not count), and
// the ratio is taken between the fastest run of each, the run that other
// work on the machine disturbed least. The benchmark's own time column
// shows the subject; the counter "ratio" is subject / baseline and
// "baseline_us" the baseline's fastest time.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <limits>

inline double kfThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// CPU seconds per run of work, run `runs` times in a row (many runs for
// work much shorter than the clock's own cost).
template <class Work>
double kfSecondsPerRun(const Work& work, long runs) {
  const double start = kfThreadSeconds();
  for (long i = 0; i < runs; ++i) work();
  return (kfThreadSeconds() - start) / static_cast<double>(runs);
}

// For benchmarks registered with UseManualTime() and a fixed number of
// iterations; an iteration runs the subject and the baseline so many times.
template <class Subject, class Baseline>
void kfTimeAgainstBaseline(benchmark::State& state, const Subject& subject, long subjectRuns,
                           const Baseline& baseline, long baselineRuns) {
  double fastestSubject = std::numeric_limits<double>::infinity();
  double fastestBaseline = std::numeric_limits<double>::infinity();
  for (auto _ : state) {
    fastestBaseline = std::min(fastestBaseline, kfSecondsPerRun(baseline, baselineRuns));
    const double seconds = kfSecondsPerRun(subject, subjectRuns);
    fastestSubject = std::min(fastestSubject, seconds);
    state.SetIterationTime(seconds);
  }
  state.counters["ratio"] = fastestSubject / fastestBaseline;
  state.counters["baseline_us"] = fastestBaseline * 1e6;
}
