// Small dense linear systems, as the colour correction's fits solve them.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

template <std::size_t N>
using kcSquareMatrix = std::array<std::array<double, N>, N>;

// Solves a x = b by Gaussian elimination with partial pivoting; false when
// a pivot is negligible against the matrix's scale (a singular system).
template <std::size_t N>
bool kfSolveLinear(kcSquareMatrix<N> a, std::array<double, N> b, std::array<double, N>& x) {
  double scale = 0.0;
  for (const auto& row : a)
    for (double v : row) scale = std::max(scale, std::abs(v));
  for (std::size_t col = 0; col < N; ++col) {
    std::size_t pivot = col;
    for (std::size_t r = col + 1; r < N; ++r)
      if (std::abs(a[r][col]) > std::abs(a[pivot][col])) pivot = r;
    if (std::abs(a[pivot][col]) <= 1e-12 * scale) return false;
    std::swap(a[col], a[pivot]);
    std::swap(b[col], b[pivot]);
    for (std::size_t r = col + 1; r < N; ++r) {
      const double f = a[r][col] / a[col][col];
      for (std::size_t c = col; c < N; ++c) a[r][c] -= f * a[col][c];
      b[r] -= f * b[col];
    }
  }
  for (std::size_t i = N; i-- > 0;) {
    double sum = b[i];
    for (std::size_t c = i + 1; c < N; ++c) sum -= a[i][c] * x[c];
    x[i] = sum / a[i][i];
  }
  return true;
}
