#include "AnimationExport.h"

#include "AtomicFile.h"
#include "ControlIds.h"
#include "DeformationInsight.h"
#include "MainDialog.h"
#include "MorphSeries.h"
#include "TransformCommand.h"
#include "vtkShapeTransform.h"

#include <vtkFloatArray.h>
#include <vtkImageData.h>
#include <vtkNew.h>
#include <vtkPNGWriter.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkRenderWindow.h>
#include <vtkSmartPointer.h>
#include <vtkWindowToImageFilter.h>

#include <cstdio>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace selvane {

namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

// What the view shows now, as a PNG file written atomically.
bool WriteViewPng(vtkRenderWindow* window, const std::string& path, std::string& reason) {
  vtkNew<vtkWindowToImageFilter> grab;
  grab->SetInput(window);
  grab->SetInputBufferTypeToRGB();
  grab->ReadFrontBufferOff();
  grab->ShouldRerenderOff(); // the frame was just rendered
  grab->Update();
  vtkImageData* image = grab->GetOutput();
  int size[3];
  image->GetDimensions(size);
  if (size[0] < 1 || size[1] < 1) {
    reason = "Cannot write '" + path + "': the view has no picture to grab";
    return false;
  }
  const auto writeTemp = [&](const std::string& tempPath) -> Result {
    vtkNew<vtkPNGWriter> writer;
    writer->SetInputData(image);
    writer->SetFileName(tempPath.c_str());
    writer->Write();
    if (writer->GetErrorCode() != 0)
      return Result::Failure(ErrorCode::CannotWrite, "the PNG writer failed");
    return Result::Success();
  };
  const Result written = formats::WriteFileAtomicallyWith(path, writeTemp);
  reason = written.Reason;
  return written.Ok();
}

// State of one export, shared by the frames on the window's thread and the series job.
struct Export {
  std::string Collection;
  std::vector<float> Fractions;
  float ShownBefore = 0.0f;
  std::vector<std::string> CreatedPngs;
  std::string Failure;
  long long PngsWritten = 0;

  void RemoveCreated() {
    for (const std::string& path : CreatedPngs)
      std::remove(path.c_str());
    CreatedPngs.clear();
  }
};

void ShowFraction(MainDialog& dialog, float fraction) {
  dialog.ShowAnimationFrame(fraction);
}

void WritePngFrame(MainDialog& dialog, Export& run, long long k) {
  ShowFraction(dialog, run.Fractions[static_cast<size_t>(k)]);
  if (!run.Failure.empty() || !dialog.RenderWindow)
    return;
  const int count = static_cast<int>(run.Fractions.size());
  const std::string path =
      formats::SeriesFrameName(run.Collection, static_cast<int>(k), count, ".png");
  const bool existed = Exists(path);
  std::string reason;
  if (!WriteViewPng(dialog.RenderWindow, path, reason)) {
    run.Failure = reason;
    return;
  }
  if (!existed)
    run.CreatedPngs.push_back(path);
  ++run.PngsWritten;
}

// The .vtp series off the window's thread, from the model as read and the cached
// displacements: frame k holds x - f_k d as the view showed it, and each point's distance
// moved as a "Displacement" array.
void WriteVtpSeries(MainDialog& dialog, std::shared_ptr<Export> run) {
  auto base = vtkSmartPointer<vtkPolyData>::New();
  base->ShallowCopy(dialog.Model());
  vtkSmartPointer<vtkPoints> modelPoints = dialog.ModelPoints;
  auto displacements = std::make_shared<std::vector<float>>();
  const vtkIdType n = modelPoints->GetNumberOfPoints();
  displacements->resize(static_cast<size_t>(3 * n));
  for (vtkIdType i = 0; i < n; ++i)
    dialog.ShapeTransform->GetDisplacement(i, displacements->data() + 3 * i);
  auto result = std::make_shared<formats::SeriesResult>();

  BackgroundJob job;
  job.Title = "Export Animation";
  job.Work = [run, base, modelPoints, displacements, result](WorkProgress& progress) {
    const int count = static_cast<int>(run->Fractions.size());
    const formats::FrameSource source = [&](int k, std::string&) {
      progress.Stage("Frame " + std::to_string(k + 1) + " of " + std::to_string(count));
      const float f = run->Fractions[static_cast<size_t>(k)];
      vtkNew<vtkPoints> points;
      points->SetDataTypeToFloat();
      points->SetNumberOfPoints(modelPoints->GetNumberOfPoints());
      auto* out = vtkFloatArray::FastDownCast(points->GetData())->GetPointer(0);
      const float* d = displacements->data();
      for (vtkIdType i = 0; i < modelPoints->GetNumberOfPoints(); ++i) {
        double x[3];
        modelPoints->GetPoint(i, x);
        for (int a = 0; a < 3; ++a)
          out[3 * i + a] = static_cast<float>(x[a]) - f * d[3 * i + a];
      }
      // A frame of its own: it is written on another thread while the next one is made.
      auto frame = vtkSmartPointer<vtkPolyData>::New();
      frame->DeepCopy(base);
      frame->SetPoints(points);
      vtkNew<vtkFloatArray> lengths;
      lengths->SetName("Displacement");
      DisplacementLengths(modelPoints, points, lengths);
      frame->GetPointData()->AddArray(lengths);
      return frame;
    };
    *result = formats::WriteMorphSeries(run->Collection, count, source,
                                        [&](int, int) { return !progress.CancelRequested(); });
  };
  job.Done = [&dialog, run, result](bool completed) {
    ShowFraction(dialog, run->ShownBefore);
    if (!completed || result->Result == formats::SeriesResult::Cancelled) {
      run->RemoveCreated();
      dialog.Windowing.ShowStatus("Export Animation cancelled: no frames kept");
      return;
    }
    if (!result->Ok()) {
      run->RemoveCreated();
      dialog.Windowing.ShowMessage("Cannot export the animation.\n" + result->Reason);
      return;
    }
    const int count = static_cast<int>(run->Fractions.size());
    dialog.Windowing.ShowStatus("Exported " + std::to_string(count) + " frames to " +
                                formats::SeriesFrameName(run->Collection, 0, count, ".png") +
                                " ... and " + run->Collection);
  };
  dialog.Windowing.RunInBackground(std::move(job));
}

} // namespace

std::vector<float> AnimationFractions(int frames, int cycles) {
  const long long count = static_cast<long long>(frames) * cycles;
  if (frames < 2 || count < 2)
    return {0.0f};
  std::vector<float> fractions;
  for (long long k = 0; k < count; ++k)
    fractions.push_back(AnimationFraction(k, frames));
  return fractions;
}

void OnExportAnimation(MainDialog& dialog) {
  if (!dialog.Model() || !dialog.ShapeTransform->GetParametersSet() ||
      dialog.ShapeTransform->GetNumberOfDisplacements() !=
          dialog.ModelPoints->GetNumberOfPoints()) {
    dialog.Windowing.ShowMessage("There is no animation to export: run a Transform first.");
    return;
  }
  std::string path = "animation.pvd";
  if (!dialog.PromptFileName(path, "Export Animation", HideReadOnly | OverwritePrompt,
                             {{"ParaView collection Files", "*.PVD"}, {"All Files", "*.*"}}, ".pvd",
                             false))
    return;
  auto run = std::make_shared<Export>();
  run->Collection = path;
  run->Fractions = AnimationFractions(dialog.AnimationFrames, dialog.AnimationCycles);
  run->ShownBefore = dialog.ShapeTransform->GetFraction();

  // The pictures come from the view, so they are made on the window's thread, frame by frame
  // between the window's events (Stop ends them); then the .vtp series runs in the background.
  WritePngFrame(dialog, *run, 0);
  const long long count = static_cast<long long>(run->Fractions.size());
  dialog.Windowing.PlayFrames(
      count, [&dialog, run](long long k) { WritePngFrame(dialog, *run, k); },
      [&dialog, run, count] {
        if (!run->Failure.empty()) {
          run->RemoveCreated();
          ShowFraction(dialog, run->ShownBefore);
          dialog.Windowing.ShowMessage("Cannot export the animation.\n" + run->Failure);
          return;
        }
        if (run->PngsWritten < count && dialog.RenderWindow) {
          run->RemoveCreated();
          ShowFraction(dialog, run->ShownBefore);
          dialog.Windowing.ShowStatus("Export Animation stopped: no frames kept");
          return;
        }
        WriteVtpSeries(dialog, run);
      });
}

} // namespace selvane
