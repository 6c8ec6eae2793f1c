// Open Model, picking, walking and selecting on a large model, through the same viewer code
// the window runs, with the off-screen window system of the tests.
//
//   bench_viewer MODEL.vtk [MODEL2.vtk ...]
//
// For each model: the bare VTK read against our checked Open Model (read alone and whole
// command), then, for the first model, pick, arrow-step and toggle timings.
#include "FakeWindowing.h"
#include "MainDialog.h"
#include "ModelFileReader.h"

#include <vtkCellLocator.h>
#include <vtkIdList.h>
#include <vtkNew.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

using namespace selvane;

namespace {

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Best(int runs, const std::function<void()>& work) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i)
    best = std::min(best, Seconds(work));
  return best;
}

void BenchOpen(const std::string& path) {
  const int runs = 3;
  const double bare = Best(runs, [&] {
    vtkNew<vtkPolyDataReader> reader;
    reader->SetFileName(path.c_str());
    reader->Update();
  });
  const double checked = Best(runs, [&] {
    vtkNew<vtkPolyDataReader> reader;
    if (!ReadModelFile(path, reader).empty())
      std::fprintf(stderr, "refused: %s\n", path.c_str());
  });
  const double whole = Best(runs, [&] {
    FakeWindowing windowing;
    MainDialog dialog(windowing);
    dialog.InitializeView();
    dialog.OpenModelFile(path);
  });
  std::printf("%-40s bare read %7.3f s | checked read %7.3f s (%.2fx) | Open Model %7.3f s "
              "(%.2fx)\n",
              path.c_str(), bare, checked, checked / bare, whole, whole / bare);
}

void BenchInteraction(const std::string& path) {
  FakeWindowing windowing(800, 600);
  MainDialog dialog(windowing);
  dialog.InitializeView();
  if (!dialog.OpenModelFile(path))
    return;
  dialog.Render();
  vtkPolyData* model = dialog.Model();
  const int height = dialog.RenderWindow->GetSize()[1];

  const double firstPick = Seconds([&] { dialog.PickAt(400, 300); });
  const int picks = 50;
  const double pick = Seconds([&] {
                        for (int i = 0; i < picks; ++i)
                          dialog.PickAt(300 + (i * 7) % 200, height - 200 - (i * 13) % 200);
                      }) /
                      picks;
  // A pick renders the view; time the render alone to take it out.
  const double render = Best(5, [&] { dialog.Render(); });

  dialog.SetCurrentCell(0, 0);
  const int steps = 2000;
  const double step = Seconds([&] {
                        for (int i = 0; i < steps; ++i) {
                          if (i % 2)
                            dialog.CrossForwardEdge();
                          else
                            dialog.NextPointInCell();
                        }
                      }) /
                      steps;

  const int toggles = 100000;
  const vtkIdType cells = model->GetNumberOfCells();
  const double toggleCells = Seconds([&] {
    for (int i = 0; i < toggles; ++i) {
      dialog.SetCurrentCell(static_cast<int>((i * 7919LL) % cells), 0);
      dialog.ToggleCurrentCell();
    }
  });
  const vtkIdType points = model->GetNumberOfPoints();
  dialog.ReadTargetFromFields = 0;
  const double togglePoints = Seconds([&] {
    for (int i = 0; i < toggles; ++i) {
      dialog.SetCurrentPoint(static_cast<int>((i * 7919LL) % points));
      dialog.ToggleCurrentPoint();
    }
  });
  std::printf("pick: first (locator build) %.3f s, then %.3f ms per pick incl. a %.3f ms render "
              "(%.3f ms without)\n",
              firstPick, pick * 1e3, render * 1e3, (pick - render) * 1e3);
  std::printf("arrow step (logic, no render): %.3f ms\n", step * 1e3);
  std::printf("toggling %d cells: %.2f s; %d points: %.2f s\n", toggles, toggleCells, toggles,
              togglePoints);
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_viewer MODEL.vtk [MODEL2.vtk ...]\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i)
    BenchOpen(argv[i]);
  BenchInteraction(argv[1]);
  return 0;
}
