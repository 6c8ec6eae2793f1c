#include "ModelFormats.h"

#include "LegacyBinaryModel.h"
#include "ModelReaderSupport.h"
#include "ObjModelReader.h"
#include "OffModelReader.h"
#include "PlyModelReader.h"
#include "StlModelReader.h"
#include "VtpModelReader.h"

#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkSmartPointer.h>

#include <algorithm>
#include <cctype>

namespace selvane {

namespace {

std::string LowerExtension(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return "";
  }
  std::string extension = path.substr(dot);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

Result Refusal(ErrorCode problem, const std::string& reason) {
  return Result::Failure(problem, reason);
}

// A plain BINARY file is read straight into the model's arrays; any other file, and any file
// that fails there, takes the general path: scanner, VTK's reader on the checked bytes, the
// check of its output; the model it read is handed on without a copy of its arrays.
Result ReadLegacyModel(const std::string& path, vtkPolyData* output) {
  if (formats::ReadPlainBinaryLegacyModel(path, output)) {
    return Result();
  }
  auto reader = vtkSmartPointer<vtkPolyDataReader>::New();
  Result read = ReadModelFile(path, reader);
  if (read.Ok()) {
    output->ShallowCopy(reader->GetOutput());
  }
  return read;
}

} // namespace

ModelFormat ModelFormatOfPath(const std::string& path) {
  const std::string extension = LowerExtension(path);
  if (extension.empty() || extension == ".vtk") {
    return ModelFormat::LegacyVtk;
  }
  if (extension == ".vtp") {
    return ModelFormat::Vtp;
  }
  if (extension == ".stl") {
    return ModelFormat::Stl;
  }
  if (extension == ".ply") {
    return ModelFormat::Ply;
  }
  if (extension == ".obj") {
    return ModelFormat::Obj;
  }
  if (extension == ".off") {
    return ModelFormat::Off;
  }
  return ModelFormat::Unknown;
}

const char* KnownModelExtensions() {
  return ".vtk .vtp .stl .ply .obj .off";
}

namespace {

Result ReadModelOfFormat(const std::string& path, vtkPolyData* output) {
  if (!output) {
    return Refusal(ErrorCode::CannotOpen, "no model was given to read into");
  }
  output->Initialize();
  Result read;
  switch (ModelFormatOfPath(path)) {
  case ModelFormat::LegacyVtk:
    // Checked completely on its own path, messages included.
    read = ReadLegacyModel(path, output);
    if (!read.Ok()) {
      output->Initialize();
    }
    return read;
  case ModelFormat::Vtp:
    // Checked after its read as every model is, by the reader itself.
    read = ReadVtpModel(path, output);
    if (!read.Ok()) {
      output->Initialize();
    }
    return read;
  case ModelFormat::Stl:
    read = ReadStlModel(path, output);
    break;
  case ModelFormat::Ply:
    read = ReadPlyModel(path, output);
    break;
  case ModelFormat::Obj:
    read = ReadObjModel(path, output);
    break;
  case ModelFormat::Off:
    read = ReadOffModel(path, output);
    break;
  case ModelFormat::Unknown:
    return Refusal(ErrorCode::Unsupported,
                   "the extension " + formats::QuoteToken(path.substr(path.find_last_of('.'))) +
                       " is not a model format Selvane opens (known: " + KnownModelExtensions() +
                       ")");
  }
  if (read.Ok()) {
    read = CheckReadModel(output);
  }
  if (!read.Ok()) {
    output->Initialize();
  }
  return read;
}

} // namespace

Result ReadModel(const std::string& path, vtkPolyData* output) {
  Result read = ReadModelOfFormat(path, output);
  // The last guard of the one-line rule: a reason may quote text of the file.
  read.Reason = ReasonOnOneLine(read.Reason);
  return read;
}

} // namespace selvane
