#include "MorphSeries.h"

#include "AtomicFile.h"

#include <vtkCallbackCommand.h>
#include <vtkCommand.h>
#include <vtkErrorCode.h>
#include <vtkNew.h>
#include <vtkPolyData.h>
#include <vtkXMLPolyDataWriter.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace selvane::formats {

namespace {

void KeepFirstError(vtkObject*, unsigned long, void* clientData, void* callData) {
  auto* reason = static_cast<std::string*>(clientData);
  if (reason->empty() && callData)
    *reason = static_cast<const char*>(callData);
  // VTK's error text may end in a newline and carry the class prefix; the first line is enough.
  if (const auto end = reason->find_last_not_of("\n "); end != std::string::npos)
    reason->resize(end + 1);
}

std::string Quote(const std::string& path) {
  return "'" + path + "'";
}

// XML attribute text: file names may hold characters that XML reserves.
std::string Escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    case '\'':
      out += "&apos;";
      break;
    default:
      out += c;
    }
  }
  return out;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

} // namespace

std::string SeriesFrameName(const std::string& collectionPath, int frame, int frames,
                            const std::string& extension) {
  const std::filesystem::path collection(collectionPath);
  int digits = 4;
  for (int limit = 10000; frames > limit && digits < 10; limit *= 10)
    ++digits;
  char number[16];
  std::snprintf(number, sizeof number, "_%0*d", digits, frame);
  return (collection.parent_path() / (collection.stem().string() + number + extension)).string();
}

std::string CollectionText(const std::vector<std::string>& frameFiles) {
  std::string text = "<?xml version=\"1.0\"?>\n"
                     "<VTKFile type=\"Collection\" version=\"0.1\" byte_order=\"LittleEndian\">\n"
                     "  <Collection>\n";
  for (size_t i = 0; i < frameFiles.size(); ++i)
    text += "    <DataSet timestep=\"" + std::to_string(i) + "\" group=\"\" part=\"0\" file=\"" +
            Escaped(frameFiles[i]) + "\"/>\n";
  text += "  </Collection>\n</VTKFile>\n";
  return text;
}

bool WriteVtpFile(vtkPolyData* data, const std::string& path, std::string& reason) {
  if (!data) {
    reason = "Cannot write " + Quote(path) + ": there is no model to write";
    return false;
  }
  const auto writeTempWhy = [&](const std::string& tempPath, std::string& why) {
    vtkNew<vtkXMLPolyDataWriter> writer;
    vtkNew<vtkPolyData> copy;
    copy->ShallowCopy(data);
    writer->SetInputData(copy);
    writer->SetFileName(tempPath.c_str());
    writer->SetDataModeToBinary();
    writer->SetCompressorTypeToZLib();
    // Fastest zlib level: the frames of a large model are written in a loop, and the higher
    // levels shrink coordinates only a little further.
    writer->SetCompressionLevel(1);
    std::string vtkReason;
    vtkNew<vtkCallbackCommand> onError;
    onError->SetCallback(&KeepFirstError);
    onError->SetClientData(&vtkReason);
    writer->AddObserver(vtkCommand::ErrorEvent, onError);
    const int written = writer->Write();
    const unsigned long code = writer->GetErrorCode();
    if (written == 1 && code == vtkErrorCode::NoError && vtkReason.empty())
      return true;
    if (code == vtkErrorCode::OutOfDiskSpaceError)
      why = std::strerror(ENOSPC);
    else if (!vtkReason.empty())
      why = vtkReason;
    else
      why =
          std::string("the VTK writer failed (") + vtkErrorCode::GetStringFromErrorCode(code) + ")";
    return false;
  };
  const auto writeTemp = [&](const std::string& tempPath) -> Result {
    std::string why;
    if (writeTempWhy(tempPath, why))
      return Result::Success();
    return Result::Failure(ErrorCode::CannotWrite, why);
  };
  const Result written = WriteFileAtomicallyWith(path, writeTemp);
  reason = written.Reason;
  return written.Ok();
}

SeriesResult WriteMorphSeries(const std::string& collectionPath, int frames,
                              const FrameSource& source, const SeriesProgress& progress) {
  SeriesResult result;
  std::vector<std::string> created; // frames that did not exist before this series
  const auto undo = [&] {
    for (const std::string& path : created)
      std::remove(path.c_str());
  };
  if (frames < 1) {
    result.Reason = "Cannot write " + Quote(collectionPath) + ": there are no frames to write";
    return result;
  }
  std::vector<std::string> names;
  for (int i = 0; i < frames; ++i) {
    const std::string path = SeriesFrameName(collectionPath, i, frames, ".vtp");
    std::string reason;
    vtkPolyData* frame = source(i, reason);
    if (!frame) {
      undo();
      result.Reason = reason.empty()
                          ? "Cannot write " + Quote(path) + ": no frame " + std::to_string(i)
                          : reason;
      return result;
    }
    const bool existed = Exists(path);
    if (!WriteVtpFile(frame, path, reason)) {
      undo();
      result.Reason = reason;
      return result;
    }
    if (!existed)
      created.push_back(path);
    result.Files.push_back(path);
    names.push_back(std::filesystem::path(path).filename().string());
    if (progress && !progress(i + 1, frames)) {
      undo();
      result.Files.clear();
      result.Result = SeriesResult::Cancelled;
      return result;
    }
  }
  if (const Result written = WriteFileAtomically(collectionPath, CollectionText(names)); !written) {
    undo();
    result.Files.clear();
    result.Reason = written.Reason;
    return result;
  }
  result.Files.push_back(collectionPath);
  result.Result = SeriesResult::Written;
  return result;
}

} // namespace selvane::formats
