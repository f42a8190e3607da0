#include "support/photo_set.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "host/imaging/image_file.h"

namespace {

constexpr const char* kKeptHere = COLC_SOURCE_DIR "/tests/data/photos";

std::optional<std::string> photoFolder() {
  const char* given = std::getenv("COLC_PHOTO_DIR");
  const std::string folder = given && *given ? given : COLC_PHOTO_DIR;
  if (folder.empty() || !std::filesystem::is_directory(folder)) return std::nullopt;
  return folder;
}

}  // namespace

std::vector<kcPhotoTruth> kfPhotosAtHand() {
  const std::optional<std::string> folder = photoFolder();
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(kKeptHere))
    if (entry.path().extension() == ".json") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<kcPhotoTruth> truths;
  for (const std::filesystem::path& file : files) {
    const nlohmann::json j = nlohmann::json::parse(std::ifstream(file));
    kcPhotoTruth t;
    t.image = j.at("image").get<std::string>();
    t.chart = j.at("chart").get<std::string>();
    for (std::size_t i = 0; i < 24; ++i) {
      t.centres[i] = {j.at("centres")[i][0].get<double>(), j.at("centres")[i][1].get<double>()};
      t.measured[i] = j.at("measured")[i].get<bool>();
    }
    std::array<double, 9> h{};
    for (std::size_t r = 0; r < 3; ++r)
      for (std::size_t c = 0; c < 3; ++c) h[3 * r + c] = j.at("homography")[r][c].get<double>();
    t.gridToImage = kcHomography(h);
    t.tiltDegrees = j.at("tilt_degrees_approx").get<double>();
    const std::string here = std::string(kKeptHere) + "/" + t.image;
    if (std::filesystem::exists(here))
      t.path = here;
    else if (folder)
      t.path = *folder + "/" + t.image;
    else
      continue;
    truths.push_back(t);
  }
  return truths;
}

kc3PlanePelBuffer kfReadPhoto(const kcPhotoTruth& truth) { return kfReadColorImageFile(truth.path); }
