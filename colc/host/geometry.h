// Host planar geometry: vectors, matrices, affine transforms, angles,
// integer rectangles and affine rectangles. Small value types, inline.
#pragma once

#include <algorithm>
#include <cmath>

#include "colc/host/exceptions.h"

template <int N>
class kcVector;
template <int N>
class kcMatrix;
template <int N>
class kcXform;

template <>
class kcVector<2> {
 public:
  kcVector() = default;
  kcVector(double x, double y) : v_{x, y} {}
  double x() const { return v_[0]; }
  double y() const { return v_[1]; }
  double operator[](int i) const { return v_[i]; }
  double& operator[](int i) { return v_[i]; }
  kcVector operator+(const kcVector& o) const { return {v_[0] + o.v_[0], v_[1] + o.v_[1]}; }
  kcVector operator-(const kcVector& o) const { return {v_[0] - o.v_[0], v_[1] - o.v_[1]}; }
  kcVector operator*(double s) const { return {v_[0] * s, v_[1] * s}; }
  double length() const { return std::hypot(v_[0], v_[1]); }
  bool operator==(const kcVector& o) const { return v_[0] == o.v_[0] && v_[1] == o.v_[1]; }

 private:
  double v_[2] = {0.0, 0.0};
};

// A 2 x 2 matrix; the default is the identity.
template <>
class kcMatrix<2> {
 public:
  kcMatrix() = default;
  kcMatrix(double a00, double a01, double a10, double a11) : m_{{a00, a01}, {a10, a11}} {}
  double element(int row, int col) const { return m_[row][col]; }
  kcMatrix operator*(const kcMatrix& o) const {
    return {m_[0][0] * o.m_[0][0] + m_[0][1] * o.m_[1][0], m_[0][0] * o.m_[0][1] + m_[0][1] * o.m_[1][1],
            m_[1][0] * o.m_[0][0] + m_[1][1] * o.m_[1][0], m_[1][0] * o.m_[0][1] + m_[1][1] * o.m_[1][1]};
  }
  kcVector<2> operator*(const kcVector<2>& v) const {
    return {m_[0][0] * v.x() + m_[0][1] * v.y(), m_[1][0] * v.x() + m_[1][1] * v.y()};
  }
  double determinant() const { return m_[0][0] * m_[1][1] - m_[0][1] * m_[1][0]; }
  // Throws nothing; a singular matrix gives infinities.
  kcMatrix inverse() const {
    const double d = determinant();
    return {m_[1][1] / d, -m_[0][1] / d, -m_[1][0] / d, m_[0][0] / d};
  }
  bool operator==(const kcMatrix& o) const {
    return m_[0][0] == o.m_[0][0] && m_[0][1] == o.m_[0][1] && m_[1][0] == o.m_[1][0] && m_[1][1] == o.m_[1][1];
  }

 private:
  double m_[2][2] = {{1.0, 0.0}, {0.0, 1.0}};
};

// An affine transform p -> matrix * p + translation; the default is the identity.
template <>
class kcXform<2> {
 public:
  kcXform() = default;
  kcXform(const kcMatrix<2>& matrix, const kcVector<2>& translation) : matrix_(matrix), translation_(translation) {}
  const kcMatrix<2>& matrix() const { return matrix_; }
  const kcVector<2>& trans() const { return translation_; }
  kcVector<2> mapPoint(const kcVector<2>& p) const { return matrix_ * p + translation_; }
  kcVector<2> mapVector(const kcVector<2>& v) const { return matrix_ * v; }
  // (a * b) maps a point through b, then through a.
  kcXform operator*(const kcXform& b) const { return {matrix_ * b.matrix_, matrix_ * b.translation_ + translation_}; }
  kcXform inverse() const {
    const kcMatrix<2> inv = matrix_.inverse();
    return {inv, (inv * translation_) * -1.0};
  }
  bool operator==(const kcXform& o) const { return matrix_ == o.matrix_ && translation_ == o.translation_; }

 private:
  kcMatrix<2> matrix_;
  kcVector<2> translation_;
};

// An angle in radians.
class kcRadian {
 public:
  kcRadian() = default;
  explicit kcRadian(double value) : value_(value) {}
  double value() const { return value_; }
  bool operator==(const kcRadian& o) const { return value_ == o.value_; }

 private:
  double value_ = 0.0;
};

// An axis-aligned rectangle [left, right) x [top, bottom).
template <class T>
class kcRectangle {
 public:
  kcRectangle() = default;
  kcRectangle(T left, T top, T right, T bottom) : left_(left), top_(top), right_(right), bottom_(bottom) {}
  T left() const { return left_; }
  T top() const { return top_; }
  T right() const { return right_; }
  T bottom() const { return bottom_; }
  T width() const { return right_ - left_; }
  T height() const { return bottom_ - top_; }
  // The overlap of the two rectangles. Without overlap the result has width
  // or height 0 (never negative); with throwIfEmpty it is an error instead.
  kcRectangle intersect(const kcRectangle& other, bool throwIfEmpty) const {
    const T l = std::max(left_, other.left_), t = std::max(top_, other.top_);
    const T r = std::max(l, std::min(right_, other.right_)), b = std::max(t, std::min(bottom_, other.bottom_));
    if (throwIfEmpty && (r == l || b == t)) throw kcBadArgument("rectangles do not overlap");
    return {l, t, r, b};
  }
  bool operator==(const kcRectangle& o) const {
    return left_ == o.left_ && top_ == o.top_ && right_ == o.right_ && bottom_ == o.bottom_;
  }

 private:
  T left_{}, top_{}, right_{}, bottom_{};
};

// A rectangle of any position, size and orientation: its centre, the
// lengths of its two sides, the angle of its x side against the x axis and
// the angle of its y side against the y axis (equal angles: a rotated
// rectangle; different angles: a sheared one).
class kcAffineRectangle {
 public:
  kcAffineRectangle() = default;
  kcAffineRectangle(const kcVector<2>& centre, double xLength, double yLength, const kcRadian& xRotation,
                    const kcRadian& yRotation)
      : centre_(centre), xLength_(xLength), yLength_(yLength), xRotation_(xRotation), yRotation_(yRotation) {}

  const kcVector<2>& centre() const { return centre_; }
  double xLength() const { return xLength_; }
  double yLength() const { return yLength_; }
  const kcRadian& xRotation() const { return xRotation_; }
  const kcRadian& yRotation() const { return yRotation_; }

  // The full x side and y side as vectors.
  kcVector<2> xSide() const { return {xLength_ * std::cos(xRotation_.value()), xLength_ * std::sin(xRotation_.value())}; }
  kcVector<2> ySide() const { return {-yLength_ * std::sin(yRotation_.value()), yLength_ * std::cos(yRotation_.value())}; }
  // The corner at the start of both sides.
  kcVector<2> origin() const { return centre_ - xSide() * 0.5 - ySide() * 0.5; }

  // The rectangle carried through a transform.
  kcAffineRectangle map(const kcXform<2>& xform) const {
    const kcVector<2> xs = xform.mapVector(xSide());
    const kcVector<2> ys = xform.mapVector(ySide());
    return {xform.mapPoint(centre_), xs.length(), ys.length(), kcRadian(std::atan2(xs.y(), xs.x())),
            kcRadian(std::atan2(-ys.x(), ys.y()))};
  }

 private:
  kcVector<2> centre_;
  double xLength_ = 0.0;
  double yLength_ = 0.0;
  kcRadian xRotation_;
  kcRadian yRotation_;
};
