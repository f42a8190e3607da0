#include "support/test_planes.h"

kcPelBuffer<unsigned char> makePlane(long width, long height, const PelAt& pelAt) {
  kcPelBuffer<unsigned char> plane(width, height);
  for (long y = 0; y < height; ++y)
    for (long x = 0; x < width; ++x) plane.pointToRow(y)[x] = pelAt(x, y);
  return plane;
}

kcPelBuffer<unsigned char> makePlane(long width, long height, unsigned char value) {
  return makePlane(width, height, [value](long, long) { return value; });
}

std::vector<unsigned char> pelsOf(const kcPelBuffer_const<unsigned char>& plane) {
  std::vector<unsigned char> pels;
  for (long y = plane.window().top; y < plane.window().bottom; ++y)
    pels.insert(pels.end(), plane.pointToRow(y), plane.pointToRow(y) + plane.width());
  return pels;
}

std::vector<std::string> recordNames(const kcDiagObject& diag) {
  std::vector<std::string> names;
  for (long i = 0; i < diag.numRecords(); ++i) names.push_back(diag.diagRecord(i).annotation());
  return names;
}

std::vector<double> fieldsOf(const kcColorCalibrationChannelResultInternal& r) {
  std::vector<double> fields{r.gain(), r.offset(), r.rmsError(), r.proportionActiveSrcPels(),
                             r.proportionActiveDstPels(), r.proportionActivePels()};
  for (unsigned char v : r.pelmap()) fields.push_back(v);
  return fields;
}
