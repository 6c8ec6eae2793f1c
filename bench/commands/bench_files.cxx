// Times the file commands on a generated model of 1000 x 1000 points (about 2,000,000
// triangles), without a window: list boxes and rendering are left to the window system and
// not measured here. The model is a gently curved height field with a little noise on every
// point, as a scanner gives a surface.
#include "FileCommands.h"
#include "MainDialog.h"
#include "ModelPointMatcher.h"

#include <vtkCellArray.h>
#include <vtkIdList.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataWriter.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

using namespace selvane;

namespace {

// A window system without windows: answers prompts from a queue, keeps the coordinate fields.
class HeadlessWindowing : public WindowingLayer {
public:
  std::deque<std::string> Answers;
  std::vector<std::string> Messages;
  float Fields[6] = {0, 0, 0, 0, 0, 0};

  void ClearListBox(int) override {}
  void AddListBoxText(int, const std::string&) override {}
  int FindListBoxText(int, const std::string&) const override { return -1; }
  void SelectListBoxEntry(int, int) override {}
  void DeleteListBoxEntry(int, int) override {}
  std::string SelectedListBoxText(int) const override { return std::string(); }
  void WriteCoordinateFields(const float target[3], const float current[3]) override {
    for (int i = 0; i < 3; ++i) {
      Fields[i] = target[i];
      Fields[3 + i] = current[i];
    }
  }
  bool ReadCoordinateFields(float target[3], float current[3]) override {
    for (int i = 0; i < 3; ++i) {
      target[i] = Fields[i];
      current[i] = Fields[3 + i];
    }
    return true;
  }
  void EnableMenuItem(int) override {}
  void SetFocusTo(int) override {}
  void SelectAllText(int) override {}
  bool AskFileName(const FilePromptRequest&, std::string& chosen) override {
    if (Answers.empty())
      return false;
    chosen = Answers.front();
    Answers.pop_front();
    return true;
  }
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void ShowDialog(AuxiliaryDialog) override {}
  void RefreshDialog(AuxiliaryDialog) override {}
  vtkRenderWindow* ViewRenderWindow() override { return nullptr; }
  vtkRenderWindowInteractor* ViewInteractor() override { return nullptr; }
  void PresentFrame() override {}
};

constexpr int Side = 1000; // points per row and column

bool WriteGridModel(const std::string& path) {
  vtkNew<vtkPoints> points;
  points->SetNumberOfPoints(Side * Side);
  for (int j = 0; j < Side; ++j)
    for (int i = 0; i < Side; ++i)
      points->SetPoint(j * Side + i, i * 0.01, j * 0.01,
                       0.4 * std::sin(i * 0.006) * std::cos(j * 0.004) +
                           0.0005 * ((i * 7 + j * 3) % 11));
  vtkNew<vtkCellArray> polys;
  polys->AllocateExact(2 * (Side - 1) * (Side - 1), 6 * (Side - 1) * (Side - 1));
  for (int j = 0; j + 1 < Side; ++j)
    for (int i = 0; i + 1 < Side; ++i) {
      const vtkIdType a = j * Side + i, b = a + 1, c = a + Side + 1, d = a + Side;
      const vtkIdType t1[3] = {a, b, c}, t2[3] = {a, c, d};
      polys->InsertNextCell(3, t1);
      polys->InsertNextCell(3, t2);
    }
  vtkNew<vtkPolyData> model;
  model->SetPoints(points);
  model->SetPolys(polys);
  vtkNew<vtkPolyDataWriter> writer;
  writer->SetInputData(model);
  writer->SetFileName(path.c_str());
  writer->SetFileVersion(42);
  writer->SetFileTypeToBinary();
  return writer->Write() == 1;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

template <class F> double Time(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return Seconds(start);
}

void Row(const char* what, double seconds, double target) {
  std::printf("%-58s %8.3f s   (target < %.0f s)%s\n", what, seconds, target,
              seconds < target ? "" : "   OVER");
}

} // namespace

int main() {
  const auto dir = std::filesystem::temp_directory_path() / "selvane-bench-files";
  std::filesystem::create_directories(dir);
  auto file = [&](const char* name) { return (dir / name).string(); };

  HeadlessWindowing windowing;
  MainDialog dialog(windowing);
  if (!WriteGridModel(file("grid.vtk")) || !dialog.OpenModelFile(file("grid.vtk"))) {
    std::fprintf(stderr, "cannot make the model: %s\n",
                 windowing.Messages.empty() ? "" : windowing.Messages[0].c_str());
    return 1;
  }
  vtkPolyData* model = dialog.Model();
  std::printf("model: %lld points, %lld cells\n",
              static_cast<long long>(model->GetNumberOfPoints()),
              static_cast<long long>(model->GetNumberOfCells()));
  auto run = [&](void (*command)(MainDialog&), const std::string& path) {
    windowing.Answers.push_back(path);
    command(dialog);
  };

  // 10,000 positions of random model points, a little off, plus the exact positions.
  std::mt19937 rng(42);
  std::uniform_int_distribution<vtkIdType> anyPoint(0, model->GetNumberOfPoints() - 1);
  {
    std::ofstream out(file("positions.pts"));
    out << "# Points\n";
    char line[128];
    for (int k = 0; k < 10000; ++k) {
      double p[3];
      dialog.ModelPoints->GetPoint(anyPoint(rng), p);
      std::snprintf(line, sizeof line, "%f %f %f\n", p[0] + 0.0002, p[1], p[2] - 0.0001);
      out << line;
    }
  }
  const double importPositions =
      Time([&] { run(&OnImportPointsFromCoordinates, file("positions.pts")); });
  const vtkIdType matched = dialog.SelectedPoints().Ids()->GetNumberOfIds();

  // 10,000 positions, every other one a real model position and the rest wild magnitudes as a
  // damaged or foreign file holds them: each of those must be refused at once.
  const double wildValues[] = {1e16, -1e30, 3e38, -3.4e38, 1e20, -5e12, 7e9, 2.5e25};
  std::uniform_int_distribution<int> anyWild(0, 7);
  {
    std::ofstream out(file("wild.pts"));
    out << "# Points\n";
    char line[256];
    for (int k = 0; k < 10000; ++k) {
      double p[3];
      dialog.ModelPoints->GetPoint(anyPoint(rng), p);
      if (k % 2 == 1)
        for (double& c : p)
          c = wildValues[anyWild(rng)];
      std::snprintf(line, sizeof line, "%g %g %g\n", p[0], p[1], p[2]);
      out << line;
    }
  }
  const std::size_t messagesBefore = windowing.Messages.size();
  const double importWild = Time([&] { run(&OnImportPointsFromCoordinates, file("wild.pts")); });
  const vtkIdType matchedAmongWild = dialog.SelectedPoints().Ids()->GetNumberOfIds();
  // Only the summary of skipped lines is expected here, not every line.
  windowing.Messages.resize(messagesBefore);
  const double indexOnly = Time([&] {
    const ModelPointMatcher matcher(dialog.ModelPoints);
    const float origin[3] = {0, 0, 0};
    if (matcher.Find(origin) != 0)
      std::printf("unexpected match\n");
  });

  // 100,000 distinct cell IDs and point IDs in random order.
  std::vector<vtkIdType> cells(static_cast<std::size_t>(model->GetNumberOfCells()));
  for (std::size_t i = 0; i < cells.size(); ++i)
    cells[i] = static_cast<vtkIdType>(i);
  std::shuffle(cells.begin(), cells.end(), rng);
  {
    std::ofstream out(file("cells.cid"));
    out << "# Cells IDs\n";
    for (int k = 0; k < 100000; ++k)
      out << cells[static_cast<std::size_t>(k)] << '\n';
    std::ofstream pts(file("points.pid"));
    pts << "# Points IDs\n";
    for (int k = 0; k < 100000; ++k)
      pts << (cells[static_cast<std::size_t>(k)] % model->GetNumberOfPoints()) << '\n';
  }
  const double importCells = Time([&] { run(&OnImportCellIds, file("cells.cid")); });
  const vtkIdType selectedCells = dialog.SelectedCells().Ids()->GetNumberOfIds();
  const double exportCells = Time([&] { run(&OnExportCellIds, file("out.cid")); });
  const double exportCellPoints = Time([&] { run(&OnExportCellPointIds, file("out.pid")); });
  const double importPoints = Time([&] { run(&OnImportPointIds, file("points.pid")); });
  const vtkIdType selectedPoints = dialog.SelectedPoints().Ids()->GetNumberOfIds();
  const double exportPoints = Time([&] { run(&OnExportPointIds, file("out2.pid")); });
  const double exportTransformations =
      Time([&] { run(&OnExportPointTransformations, file("out.ptt")); });

  std::printf("selected: %lld points from positions, %lld cells, %lld points from IDs\n",
              static_cast<long long>(matched), static_cast<long long>(selectedCells),
              static_cast<long long>(selectedPoints));
  Row("import 10,000 positions (index built, selection rebuilt)", importPositions, 1);
  std::printf("%-58s %8.3f s\n", "  of which building the position index", indexOnly);
  Row("import 10,000 positions, half of them of wild magnitudes", importWild, 1);
  std::printf("%-58s %8lld matched, ratio to the real positions %.2f\n", "",
              static_cast<long long>(matchedAmongWild), importWild / importPositions);
  Row("export cell points of 100,000 selected cells", exportCellPoints, 1);
  Row("export + import 100,000 cell IDs (selection rebuilt)", exportCells + importCells, 2);
  std::printf("%-58s %8.3f s + %.3f s\n", "  export, import", exportCells, importCells);
  Row("export + import 100,000 point IDs (selection rebuilt)", exportPoints + importPoints, 2);
  std::printf("%-58s %8.3f s + %.3f s\n", "  export, import", exportPoints, importPoints);
  std::printf("%-58s %8.3f s\n", "export transformations of 100,000 points", exportTransformations);
  for (const auto& m : windowing.Messages)
    std::printf("message: %s\n", m.c_str());
  std::filesystem::remove_all(dir);
  return 0;
}
