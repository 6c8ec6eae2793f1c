// Model files: the model as displayed (in the format its name's extension names), and the
// model's points with only the selected cells (legacy VTK).
#include "FileCommands.h"

#include "CommandSupport.h"
#include "LegacyModelWriter.h"
#include "MainDialog.h"
#include "ModelFileWriter.h"
#include "vtkSelectedCellsSource.h"
#include "vtkShapeTransform.h"

#include <vtkAlgorithm.h>
#include <vtkAlgorithmOutput.h>
#include <vtkIdList.h>
#include <vtkNew.h>

#include <cstdio>
#include <vtkPolyData.h>

namespace selvane {

namespace {

// The legacy entry first, as the prompt always offered it, then one entry per other format.
const std::vector<FileFilter> SaveModelFilters = {
    {"VTK formated Files", "*.VTK"},  {"VTK XML PolyData Files", "*.vtp"},
    {"STL Files (binary)", "*.stl"},  {"PLY Files (binary)", "*.ply"},
    {"Wavefront OBJ Files", "*.obj"}, {"All Files", "*.*"}};
const FilePrompt ExportCellsPrompt = {"Export Cells (VTK)", "VTK formated Files", "*.VTK", ".vtk",
                                      false};

void WriteModelFile(MainDialog& dialog, vtkPolyData* data, const std::string& path,
                    const std::string& title = std::string()) {
  if (const Result written = formats::WriteLegacyModel(data, path, title); !written)
    dialog.Windowing.ShowMessage(written.Reason);
}

// .vtp, .stl, .ply and .obj in their formats; any other name gets the legacy file, as Save
// Model As always wrote it.
void WriteModelByExtension(MainDialog& dialog, vtkPolyData* data, const std::string& path,
                           const std::string& title) {
  if (formats::ModelFileFormatOf(path) == formats::ModelFileFormat::Unknown) {
    WriteModelFile(dialog, data, path, title);
    return;
  }
  if (const Result written = formats::WriteModelFile(data, path, title); !written)
    dialog.Windowing.ShowMessage(written.Reason);
}

} // namespace

void OnSaveModelAs(MainDialog& dialog) {
  std::string path = "*.vtk";
  if (!dialog.Model() ||
      !dialog.PromptFileName(path, "Save File", HideReadOnly, SaveModelFilters, ".vtk", false))
    return;
  // What the model's mapper draws: the end of the model pipeline, brought up to date.
  vtkAlgorithmOutput* end = dialog.ModelPipelineEnd();
  vtkAlgorithm* producer = end ? end->GetProducer() : nullptr;
  vtkPolyData* shown = nullptr;
  if (producer) {
    producer->Update(end->GetIndex());
    shown = vtkPolyData::SafeDownCast(producer->GetOutputDataObject(end->GetIndex()));
  }
  if (!shown) {
    dialog.Windowing.ShowMessage("Cannot write '" + path + "': the model pipeline has no output.");
    return;
  }
  // A deformed shape says in its title line how much of the deformation it holds.
  const float fraction = dialog.ShapeTransform->GetFraction();
  std::string title;
  if (dialog.ShapeTransform->GetParametersSet() && fraction != 0.0f) {
    char percent[32];
    std::snprintf(percent, sizeof percent, "%g", 100.0 * fraction);
    title = std::string("Selvane model, deformation ") + percent + "%";
  }
  WriteModelByExtension(dialog, shown, path, title);
}

void OnExportCellsVtk(MainDialog& dialog) {
  vtkPolyData* model = dialog.Model();
  std::string path;
  if (!model || !AskPath(dialog, ExportCellsPrompt, path))
    return;
  // What draws the selected cells builds the file's data set: all points of the model as read,
  // so the file's point IDs are the model's, and only the selected (not withdrawn) cells, each
  // with its type. The drawing puts a restored cell last; the file keeps the list's order, so
  // this source is filled afresh in that order.
  vtkNew<vtkSelectedCellsSource> selected;
  selected->SetInputData(model);
  vtkIdList* entries = dialog.SelectedCells().Ids();
  for (vtkIdType i = 0; i < entries->GetNumberOfIds(); ++i)
    if (const vtkIdType c = entries->GetId(i); c >= 0)
      selected->AddCell(c);
  selected->Update();
  WriteModelFile(dialog, selected->GetOutput(), path);
}

} // namespace selvane
