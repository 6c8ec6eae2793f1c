#include "MorphSeries.h"

#include "AtomicFile.h"

#include <vtkCallbackCommand.h>
#include <vtkCellArray.h>
#include <vtkCommand.h>
#include <vtkErrorCode.h>
#include <vtkNew.h>
#include <vtkPolyData.h>
#include <vtkSmartPointer.h>
#include <vtkXMLPolyDataWriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <future>
#include <sys/stat.h>
#include <thread>

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

Result WriteVtpFile(vtkPolyData* data, const std::string& path) {
  if (!data)
    return Result::Failure(ErrorCode::NoData,
                           "Cannot write " + Quote(path) + ": there is no model to write");
  const auto writeTemp = [&](const std::string& tempPath) -> Result {
    vtkNew<vtkXMLPolyDataWriter> writer;
    vtkNew<vtkPolyData> copy;
    copy->ShallowCopy(data);
    writer->SetInputData(copy);
    writer->SetFileName(tempPath.c_str());
    // Binary data appended raw after the XML (not base64 text): a third smaller and faster.
    writer->SetDataModeToAppended();
    writer->EncodeAppendedDataOff();
    writer->SetCompressorTypeToZLib();
    // Fastest zlib level: the frames of a large model are written in a loop, and the higher
    // levels shrink coordinates only a little further.
    writer->SetCompressionLevel(1);
    // Ids as 32-bit integers while they fit: the cells, the bulk of a frame, half as large.
    vtkIdType largest = copy->GetNumberOfPoints();
    for (vtkCellArray* cells :
         {copy->GetVerts(), copy->GetLines(), copy->GetPolys(), copy->GetStrips()})
      largest = std::max(largest, cells->GetNumberOfConnectivityIds());
    if (largest < (vtkIdType(1) << 31))
      writer->SetIdTypeToInt32();
    std::string vtkReason;
    vtkNew<vtkCallbackCommand> onError;
    onError->SetCallback(&KeepFirstError);
    onError->SetClientData(&vtkReason);
    writer->AddObserver(vtkCommand::ErrorEvent, onError);
    const int written = writer->Write();
    const unsigned long code = writer->GetErrorCode();
    if (written == 1 && code == vtkErrorCode::NoError && vtkReason.empty())
      return Result::Success();
    if (code == vtkErrorCode::OutOfDiskSpaceError)
      return Result::Failure(ErrorCode::CannotWrite, std::strerror(ENOSPC));
    if (!vtkReason.empty())
      return Result::Failure(ErrorCode::CannotWrite, vtkReason);
    return Result::Failure(ErrorCode::CannotWrite, std::string("the VTK writer failed (") +
                                                       vtkErrorCode::GetStringFromErrorCode(code) +
                                                       ")");
  };
  return WriteFileAtomicallyWith(path, writeTemp);
}

SeriesResult WriteMorphSeries(const std::string& collectionPath, int frames,
                              const FrameSource& source, const SeriesProgress& progress) {
  SeriesResult result;
  if (frames < 1) {
    result.Reason = "Cannot write " + Quote(collectionPath) + ": there are no frames to write";
    return result;
  }
  // Compression is most of a frame's time: frames are written by several threads at once,
  // while this thread makes the next frame and reports the written ones in order.
  const size_t inFlight = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
  struct Pending {
    std::string Path;
    bool Existed = false;
    std::future<std::string> Failure; // "" when written
  };
  std::deque<Pending> pending;
  std::vector<std::string> created; // frames that did not exist before this series
  std::vector<std::string> names;
  std::string failure;
  bool cancelled = false;
  int written = 0;
  // Waits for the oldest frame; false once the series must stop.
  const auto finishOldest = [&] {
    Pending oldest = std::move(pending.front());
    pending.pop_front();
    const std::string why = oldest.Failure.get();
    if (!oldest.Existed && why.empty())
      created.push_back(oldest.Path);
    if (!why.empty()) {
      if (failure.empty())
        failure = why;
      return false;
    }
    if (!failure.empty() || cancelled)
      return false;
    result.Files.push_back(oldest.Path);
    names.push_back(std::filesystem::path(oldest.Path).filename().string());
    ++written;
    if (progress && !progress(written, frames)) {
      cancelled = true;
      return false;
    }
    return true;
  };
  for (int i = 0; i < frames; ++i) {
    if (pending.size() >= inFlight && !finishOldest())
      break;
    const std::string path = SeriesFrameName(collectionPath, i, frames, ".vtp");
    std::string reason;
    vtkSmartPointer<vtkPolyData> frame = source(i, reason);
    if (!frame) {
      failure = reason.empty() ? "Cannot write " + Quote(path) + ": no frame " + std::to_string(i)
                               : reason;
      break;
    }
    // The writer gets a copy of its own: the source may change or reuse its frame (a
    // filter's output) as soon as it makes the next one.
    auto own = vtkSmartPointer<vtkPolyData>::New();
    own->DeepCopy(frame);
    frame = own;
    Pending next;
    next.Path = path;
    next.Existed = Exists(path);
    next.Failure =
        std::async(std::launch::async, [frame, path] { return WriteVtpFile(frame, path).Reason; });
    pending.push_back(std::move(next));
  }
  while (!pending.empty())
    finishOldest(); // after a stop: waits, and keeps count of what was created
  if (failure.empty() && !cancelled) {
    if (const Result written = WriteFileAtomically(collectionPath, CollectionText(names)); !written)
      failure = written.Reason.empty() ? "Cannot write " + Quote(collectionPath) : written.Reason;
  }
  if (!failure.empty() || cancelled) {
    for (const std::string& path : created)
      std::remove(path.c_str());
    result.Files.clear();
    result.Reason = failure;
    result.Result = cancelled && failure.empty() ? SeriesResult::Cancelled : SeriesResult::Failed;
    return result;
  }
  result.Files.push_back(collectionPath);
  result.Result = SeriesResult::Written;
  return result;
}

} // namespace selvane::formats
