// The node values of a .cube table. A tool reads 8-bit pels through the
// table by interpolating between its nodes over a tetrahedron of each cell
// and clipping to 0..1; where the correction bends or clips within a cell,
// nodes that merely sample it leave the interpolation levels off. The
// nodes are therefore fitted: sampled first, then, in the cells where the
// interpolation misses colc apply's pels, moved by least squares over every
// 8-bit colour of those cells, the clipping taken into account.
#pragma once

#include <array>
#include <vector>

#include "app/files.h"

// One node of a table of size nodes a side, sampled: the correction there,
// moved by how much it bends towards the neighbouring nodes.
std::array<double, 3> sampledCubeNode(const StoredCalibration& calibration, int size, int r, int g, int b);

// Tables of more than this many nodes a side place a node within two
// levels of every 8-bit value; they are only sampled.
constexpr int kLargestFittedCube = 129;

// The size^3 nodes of a table of up to kLargestFittedCube nodes a side,
// fitted; red changes fastest, then green, then blue.
std::vector<std::array<double, 3>> fittedCubeNodes(const StoredCalibration& calibration, int size);
