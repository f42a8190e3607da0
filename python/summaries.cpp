#include "summaries.h"

namespace py = pybind11;

py::dict colourErrorDict(const ColourStage& colour) {
  py::dict error;
  const std::pair<const char*, const ColourError*> stages[] = {
      {"start", &colour.start}, {"pel_maps", &colour.pelMaps}, {"corrected", &colour.corrected}};
  for (const auto& [name, stage] : stages) error[name] = py::make_tuple(stage->mean, stage->max);
  return error;
}
