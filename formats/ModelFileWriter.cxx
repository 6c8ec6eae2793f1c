#include "ModelFileWriter.h"

#include "AtomicFile.h"
#include "LegacyModelWriter.h"
#include "PlainMeshWriters.h"

#include <vtkCallbackCommand.h>
#include <vtkCommand.h>
#include <vtkDataArray.h>
#include <vtkErrorCode.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkXMLPolyDataWriter.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace selvane::formats {

namespace {

std::string LowerExtension(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return {};
  std::string ext = path.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

std::string Fail(const std::string& path, const std::string& cause) {
  return "Cannot write '" + path + "': " + cause;
}

void KeepFirstError(vtkObject*, unsigned long, void* clientData, void* callData) {
  auto* reason = static_cast<std::string*>(clientData);
  if (!reason->empty())
    return;
  std::string text = callData ? static_cast<const char*>(callData) : "";
  // VTK's "ERROR: In file, line ... Class (address): " prefix says nothing to the user.
  if (const auto marker = text.find("): "); marker != std::string::npos)
    text.erase(0, marker + 3);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  *reason = text;
}

// The whole VTP file in memory: VTK's XML writer deletes its file when a write fails and
// keeps no errno, so the bytes are handed to the checked file writes instead.
Result FormatXmlPolyData(vtkPolyData* data, const ByteSink& out, const std::string&) {
  vtkNew<vtkPolyData> copy; // the writer must not touch the caller's pipeline
  copy->ShallowCopy(data);
  vtkNew<vtkXMLPolyDataWriter> writer;
  std::string vtkReason;
  vtkNew<vtkCallbackCommand> onError;
  onError->SetCallback(&KeepFirstError);
  onError->SetClientData(&vtkReason);
  writer->AddObserver(vtkCommand::ErrorEvent, onError);
  writer->SetInputData(copy);
  writer->WriteToOutputStringOn();
  writer->SetDataModeToAppended();
  writer->EncodeAppendedDataOff();
  writer->SetCompressorTypeToZLib();
  writer->SetHeaderTypeToUInt64(); // block sizes of models beyond 4 GB
  const int written = writer->Write();
  const unsigned long code = writer->GetErrorCode();
  if (written != 1 || code != vtkErrorCode::NoError || !vtkReason.empty())
    return Result::Failure(ErrorCode::CannotWrite,
                           !vtkReason.empty() ? vtkReason
                           : code != vtkErrorCode::NoError
                               ? std::string(vtkErrorCode::GetStringFromErrorCode(code))
                               : std::string("the VTK writer failed"));
  const std::string bytes = writer->GetOutputString();
  out(bytes);
  return Result::Success();
}

using PlainWriter = Result (*)(vtkPolyData*, const ByteSink&, const std::string&);

// Runs write into a new file at tempPath with checked writes: Refused when the model was
// refused, CannotWrite when a write or the close failed.
Result WriteThroughFile(PlainWriter write, vtkPolyData* data, const std::string& title,
                        const std::string& tempPath) {
  std::FILE* out = std::fopen(tempPath.c_str(), "wb");
  if (!out)
    return Result::Failure(ErrorCode::CannotWrite, std::strerror(errno));
  int error = 0; // the errno of the first failed write
  const ByteSink sink = [out, &error](std::string_view bytes) {
    if (error == 0 && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size())
      return true;
    if (error == 0)
      error = errno != 0 ? errno : EIO;
    return false;
  };
  Result refused;
  try {
    refused = write(data, sink, title);
  } catch (...) {
    std::fclose(out);
    throw;
  }
  if (std::fclose(out) != 0 && error == 0)
    error = errno != 0 ? errno : EIO;
  if (!refused.Ok())
    return Result::Failure(refused.Code, refused.Reason + "; no file was written");
  if (error != 0)
    return Result::Failure(ErrorCode::CannotWrite, std::strerror(error));
  return Result::Success();
}

} // namespace

ModelFileFormat ModelFileFormatOf(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext == ".vtk")
    return ModelFileFormat::LegacyVtk;
  if (ext == ".vtp")
    return ModelFileFormat::XmlPolyData;
  if (ext == ".stl")
    return ModelFileFormat::Stl;
  if (ext == ".ply")
    return ModelFileFormat::Ply;
  if (ext == ".obj")
    return ModelFileFormat::Obj;
  return ModelFileFormat::Unknown;
}

const char* WritableModelExtensions() {
  return ".vtk, .vtp, .stl, .ply, .obj";
}

std::string UnknownModelExtensionReason(const std::string& path) {
  if (ModelFileFormatOf(path) != ModelFileFormat::Unknown)
    return {};
  const std::string ext = LowerExtension(path);
  return (ext.empty() ? std::string("the file name has no extension")
                      : "the extension '" + ext + "' names no model format Selvane writes") +
         " (known: " + WritableModelExtensions() + ")";
}

Result WriteModelFile(vtkPolyData* data, const std::string& path, const std::string& title) {
  const ModelFileFormat format = ModelFileFormatOf(path);
  if (format == ModelFileFormat::Unknown)
    return Result::Failure(ErrorCode::Refused,
                           Fail(path, UnknownModelExtensionReason(path) + "; no file was written"));
  if (format == ModelFileFormat::LegacyVtk)
    return WriteLegacyModel(data, path, title);
  if (!data)
    return Result::Failure(ErrorCode::NoData, Fail(path, "there is no model to write"));
  // Checked before anything is created: the old file stays as it is.
  if (const std::string why =
          FirstUnwritablePoint(data->GetPoints(), format == ModelFileFormat::Stl);
      !why.empty())
    return Result::Failure(ErrorCode::Refused, Fail(path, why));
  const auto writeTemp = [&](const std::string& tempPath) -> Result {
    PlainWriter write = &WriteObjText;
    if (format == ModelFileFormat::XmlPolyData)
      write = &FormatXmlPolyData;
    else if (format == ModelFileFormat::Stl)
      write = &WriteBinaryStl;
    else if (format == ModelFileFormat::Ply)
      write = &WriteBinaryPly;
    return WriteThroughFile(write, data, title, tempPath);
  };
  return WriteFileAtomicallyWith(path, writeTemp);
}

} // namespace selvane::formats
