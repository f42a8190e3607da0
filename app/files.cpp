#include "app/files.h"

#include <algorithm>
#include <filesystem>
#include <streambuf>
#include <system_error>

#include "colc/colorcal.h"
#include "app/exit_status.h"
#include "host/imaging/image_file.h"
#include "host/persist/file_container.h"
#include "host/runtime/output_file.h"
#include "host/runtime/regular_file.h"
#include "app/image_limit.h"

namespace {

// The host's file errors name the file already; only the kind is added.
// An image too large is a readable file that colc refuses to use.
template <class Operation>
auto withStatus(ExitStatus status, Operation operation) {
  try {
    return operation();
  } catch (const kcImageTooLarge& e) {
    throw CommandFailure(ExitStatus::imagesRefused, e.text());
  } catch (const kcIOError& e) {
    throw CommandFailure(status, e.text());
  }
}

// Reads the record whose class name was just read into slot, which must still be empty.
template <class Record>
void readNamedRecord(kcArchive& ar, std::optional<Record>& slot) {
  if (slot) throw kcArchive::BadData(std::string("a second ") + Record::kClassName);
  Record record;
  kfArchiveAfterClassName(ar, record);
  slot = record;
}

// The records after the result are told apart by their class names; a
// name this colc does not know is refused, as a newer colc's record.
kcArchive& operator||(kcArchive& ar, StoredCalibration& calibration) {
  ar || calibration.result;
  if (ar.isWriting()) {
    if (calibration.correction) ar || *calibration.correction;
    if (calibration.context) ar || *calibration.context;
    return ar;
  }
  while (ar.bytesLeft() != 0) {
    std::string className;
    ar || className;
    if (className == kcColorCorrection::kClassName)
      readNamedRecord(ar, calibration.correction);
    else if (className == kcCalibrationContext::kClassName)
      readNamedRecord(ar, calibration.context);
    else
      throw kcArchive::BadData("a record '" + className + "' this colc does not know");
  }
  return ar;
}

// Reads the whole archive as a T; false when it ends early, holds values
// that a T cannot have, or has bytes left over. why receives the cause.
template <class T>
bool readWhole(const std::string& path, T& record, std::string& why) {
  kcFileArchive archive(path, kcArchive::read);
  try {
    archive || record;
  } catch (const kcArchive::UnknownVersion&) {
    // Its text names a place in our sources, which tells a user nothing.
    why = "it holds a record version this colc does not know: it is damaged or was written by a newer colc";
    return false;
  } catch (const kcExceptionWithString& e) {
    why = e.text();
    return false;
  }
  if (archive.bytesLeft() != 0) {
    why = std::to_string(archive.bytesLeft()) + " bytes follow the record";
    return false;
  }
  return true;
}

// Whether the file can be an archive of colc at all: it bears the mark of
// colc's container, or, as the bare archives of earlier versions do, it
// begins with a record's version byte 0. Anything else (an image, a page)
// is no colc file, rather than one from a newer colc.
bool mayBeAColcArchive(const std::string& path) {
  const std::vector<unsigned char> file = kfReadRegularFile(path, kcFileArchive::kMaxFileBytes, "archive");
  const std::size_t mark = std::size(kArchiveFileMark);
  return (file.size() >= mark && std::equal(kArchiveFileMark, kArchiveFileMark + mark, file.begin())) ||
         (!file.empty() && file.front() == 0);
}

// A stream's characters into an output file. The file buffers them itself,
// and its failures reach the stream's writer as the file's own exceptions.
class OutputFileBuffer : public std::streambuf {
 public:
  explicit OutputFileBuffer(kcOutputFile& file) : file_(file) {}

 protected:
  std::streamsize xsputn(const char* text, std::streamsize n) override {
    file_.write(text, static_cast<std::size_t>(n));
    return n;
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char character = traits_type::to_char_type(c);
    file_.write(&character, 1);
    return c;
  }

 private:
  kcOutputFile& file_;
};

}  // namespace

kc3PlanePelBuffer readColorImage(const std::string& path) {
  return withStatus(ExitStatus::unreadableFile, [&] { return kfReadColorImageFile(path, maxImagePels()); });
}

kcPelBuffer<unsigned char> readGreyImage(const std::string& path) {
  return withStatus(ExitStatus::unreadableFile, [&] { return kfReadGreyImageFile(path, maxImagePels()); });
}

void writeImage(const std::string& path, const kc3PlanePelBuffer& image) {
  withStatus(ExitStatus::unwritableFile, [&] { kfWriteImageFile(path, image); });
}

void writeImage(const std::string& path, const kcPelBuffer_const<unsigned char>& image) {
  withStatus(ExitStatus::unwritableFile, [&] { kfWriteImageFile(path, image); });
}

void writePrintImage(const std::string& path, const kc3PlanePelBuffer& image, std::uint32_t pelsPerMetre) {
  withStatus(ExitStatus::unwritableFile, [&] { kfWritePrintImageFile(path, image, pelsPerMetre); });
}

StoredRecord readRecordArchive(const std::string& path) {
  return withStatus(ExitStatus::unreadableFile, [&]() -> StoredRecord {
    try {
      // The two layouts differ in length and in where bools stand, so at most
      // one of them reads a file whole.
      std::string whyNotResult, whyNotParams;
      StoredCalibration calibration;
      if (readWhole(path, calibration, whyNotResult)) return calibration;
      kcColorCalibrationParams params;
      if (readWhole(path, params, whyNotParams)) return params;
      if (!mayBeAColcArchive(path))
        throw CommandFailure(ExitStatus::badArchive, "'" + path + "' is not a colc archive");
      throw CommandFailure(ExitStatus::badArchive,
                           "'" + path + "' is not a colc result or parameter archive (" + whyNotResult + ")");
    } catch (const kcArchive::BadData& e) {
      // Only the file's checksum is checked before the records are read.
      throw CommandFailure(ExitStatus::badArchive, e.text());
    }
  });
}

StoredCalibration readResultArchive(const std::string& path) {
  const StoredRecord record = readRecordArchive(path);
  if (std::holds_alternative<kcColorCalibrationParams>(record))
    throw CommandFailure(ExitStatus::badArchive, "'" + path + "' holds calibration parameters, not a result");
  const auto& calibration = std::get<StoredCalibration>(record);
  const std::size_t channels = calibration.result.channelResults().size();
  if (channels != 3)
    throw CommandFailure(ExitStatus::badArchive,
                         "'" + path + "' holds " + std::to_string(channels) + " channel results instead of 3");
  return calibration;
}

void writeResultArchive(const std::string& path, StoredCalibration calibration) {
  withStatus(ExitStatus::unwritableFile, [&] {
    kcFileArchive archive(path, kcArchive::write);
    archive || calibration;
    archive.close();
  });
}

void makeFolder(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error)
    throw CommandFailure(ExitStatus::unwritableFile, "cannot make the folder '" + path + "': " + error.message());
}

void writeOutputFile(const std::string& path, const std::string& kind,
                     const std::function<void(std::ostream&)>& write) {
  withStatus(ExitStatus::unwritableFile, [&] {
    kcOutputFile file(path, kind);
    OutputFileBuffer buffer(file);
    std::ostream stream(&buffer);
    stream.exceptions(std::ios::badbit);  // the file's own exception, with its cause, comes through
    write(stream);
    file.commit();
  });
}

void checkOutputFile(const std::string& path, const std::string& kind) {
  withStatus(ExitStatus::unwritableFile, [&] { kfCheckOutputFile(path, kind); });
}
