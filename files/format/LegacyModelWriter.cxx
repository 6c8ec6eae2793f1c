#include "LegacyModelWriter.h"

#include "AtomicFile.h"

#include <vtkCallbackCommand.h>
#include <vtkCommand.h>
#include <vtkErrorCode.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataWriter.h>

namespace selvane::formats {

namespace {

// VTK's error text without its "ERROR: In file, line ... Class (address): " prefix.
std::string ShortVtkMessage(const char* message) {
  std::string text = message ? message : "";
  const auto marker = text.find("): ");
  if (marker != std::string::npos)
    text.erase(0, marker + 3);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  return text;
}

void KeepFirstError(vtkObject*, unsigned long, void* clientData, void* callData) {
  auto* reason = static_cast<std::string*>(clientData);
  if (reason->empty())
    *reason = ShortVtkMessage(static_cast<const char*>(callData));
}

} // namespace

bool FormatLegacyPolyData(vtkPolyData* data, std::string& out, std::string& reason) {
  out.clear();
  reason.clear();
  if (!data) {
    reason = "there is no model to write";
    return false;
  }
  // A shallow copy whose only change is double points: the caller's data stays as it is.
  vtkNew<vtkPolyData> copy;
  copy->ShallowCopy(data);
  if (vtkPoints* points = data->GetPoints()) {
    vtkNew<vtkPoints> exact;
    exact->SetDataTypeToDouble();
    exact->DeepCopy(points); // converts float to double without loss
    copy->SetPoints(exact);
  }

  vtkNew<vtkPolyDataWriter> writer;
  std::string vtkReason;
  vtkNew<vtkCallbackCommand> onError;
  onError->SetCallback(&KeepFirstError);
  onError->SetClientData(&vtkReason);
  writer->AddObserver(vtkCommand::ErrorEvent, onError);
  writer->SetInputData(copy);
  writer->SetFileVersion(42);
  writer->SetFileTypeToASCII();
  writer->WriteToOutputStringOn();
  const int written = writer->Write();
  const unsigned long code = writer->GetErrorCode();
  if (written != 1 || code != vtkErrorCode::NoError || !vtkReason.empty()) {
    if (vtkReason.empty())
      vtkReason = "the VTK writer failed (error code " + std::to_string(code) + ")";
    reason = vtkReason;
    return false;
  }
  out = writer->GetOutputStdString();
  return true;
}

bool WriteLegacyPolyDataFile(vtkPolyData* data, const std::string& path, std::string& reason) {
  std::string text;
  if (!FormatLegacyPolyData(data, text, reason)) {
    reason = "Cannot write '" + path + "': " + reason;
    return false;
  }
  return WriteFileAtomically(path, text, &reason);
}

} // namespace selvane::formats
