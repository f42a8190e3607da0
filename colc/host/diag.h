// Host diagnostics: an ordered list of records, each holding images, an
// annotation and named sketches, that a caller passes in and inspects after.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "colc/host/display.h"
#include "colc/host/imaging.h"

class kcDiagRecord {
 public:
  struct Sketch {
    kcUISketch sketch;
    int coordinateSystem = 0;
    std::string name;
  };

  // Attach an image. With copyPels false the record shares the pels.
  void image(const kcPelBuffer_const<unsigned char>& image, bool copyPels);
  void image(const kc3PlanePelBuffer& image, bool copyPels);
  void recordAnnotation(const std::string& text) { annotation_ = text; }
  void sketch(const kcUISketch& sketch, int coordinateSystem, const std::string& name) {
    sketches_.push_back({sketch, coordinateSystem, name});
  }

  const std::vector<kcPelBuffer_const<unsigned char>>& greyImages() const { return greyImages_; }
  const std::vector<kc3PlanePelBuffer>& colorImages() const { return colorImages_; }
  const std::string& annotation() const { return annotation_; }
  const std::vector<Sketch>& sketches() const { return sketches_; }

 private:
  std::vector<kcPelBuffer_const<unsigned char>> greyImages_;
  std::vector<kc3PlanePelBuffer> colorImages_;
  std::string annotation_;
  std::vector<Sketch> sketches_;
};

class kcDiagObject {
 public:
  // Appends a record and returns it; references stay valid while the object lives.
  kcDiagRecord& newDiagRecord() { return records_.emplace_back(); }
  long numRecords() const { return static_cast<long>(records_.size()); }
  // Record i; kcBadArgument when i is out of range.
  kcDiagRecord& diagRecord(long i);
  const kcDiagRecord& diagRecord(long i) const;
  void clear() { records_.clear(); }

 private:
  std::deque<kcDiagRecord> records_;
};

// Adds a record holding the image (sharing its pels) annotated with name,
// when diag is not null and flags is not 0.
void kfSMDAddImage(kcDiagObject* diag, unsigned long flags, const kcPelBuffer_const<unsigned char>& image,
                   const std::string& name);
