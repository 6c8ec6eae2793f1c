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
#include "vtkPointMarkerSource.h"
#include "vtkSelectedCellsSource.h"

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
#include <unordered_map>

using namespace selvane;

namespace {

// The fake window system with list boxes that answer in constant time, so the figures are
// those of the viewer's own work (the fake's sorted vectors would dominate otherwise).
class BenchWindowing : public FakeWindowing {
public:
  using FakeWindowing::FakeWindowing;
  void ClearListBox(int list) override { Lists[list] = {}; }
  void AddListBoxText(int list, const std::string& text) override {
    Entries& entries = Lists[list];
    entries.ByText.emplace(text, NextToken);
    entries.ByToken.emplace(NextToken++, text);
  }
  int FindListBoxText(int list, const std::string& text) const override {
    auto entries = Lists.find(list);
    if (entries == Lists.end())
      return -1;
    auto found = entries->second.ByText.find(text);
    return found == entries->second.ByText.end() ? -1 : found->second;
  }
  void SelectListBoxEntry(int, int) override {}
  void DeleteListBoxEntry(int list, int token) override {
    Entries& entries = Lists[list];
    auto found = entries.ByToken.find(token);
    if (found == entries.ByToken.end())
      return;
    entries.ByText.erase(found->second);
    entries.ByToken.erase(found);
  }

private:
  struct Entries {
    std::unordered_map<std::string, int> ByText;
    std::unordered_map<int, std::string> ByToken;
  };
  std::unordered_map<int, Entries> Lists;
  int NextToken = 0;
};

// List boxes that do nothing: what is left is the viewer's own work.
class NullListWindowing : public FakeWindowing {
public:
  void ClearListBox(int) override {}
  void AddListBoxText(int, const std::string&) override {}
  int FindListBoxText(int, const std::string&) const override { return -1; }
  void SelectListBoxEntry(int, int) override {}
  void DeleteListBoxEntry(int, int) override {}
};

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
    if (!ReadModelFile(path, reader).Ok())
      std::fprintf(stderr, "refused: %s\n", path.c_str());
  });
  const auto open = [&](bool draw) {
    return Best(runs, [&] {
      FakeWindowing windowing;
      MainDialog dialog(windowing);
      dialog.InitializeView();
      // Without its renderer the window draws nothing: the command's own work alone.
      if (!draw)
        dialog.RenderWindow->RemoveRenderer(dialog.Renderer);
      dialog.OpenModelFile(path);
    });
  };
  const double withoutDrawing = open(false);
  const double whole = open(true);
  // The point-to-cell links every topological query needs, built once per model.
  vtkNew<vtkPolyDataReader> reader;
  reader->SetFileName(path.c_str());
  reader->Update();
  const double links = Seconds([&] { reader->GetOutput()->BuildLinks(); });
  std::printf("%s\n  bare read %.3f s | checked read %.3f s (%.2fx) | Open Model without "
              "drawing %.3f s (%.2fx) | with the first drawing %.3f s (%.2fx)\n",
              path.c_str(), bare, checked, checked / bare, withoutDrawing, withoutDrawing / bare,
              whole, whole / bare);
  std::printf("  of which building the point-to-cell links %.3f s\n", links);
}

void BenchInteraction(const std::string& path) {
  BenchWindowing windowing(800, 600);
  MainDialog dialog(windowing);
  dialog.InitializeView();
  if (!dialog.OpenModelFile(path))
    return;
  dialog.Render();
  const int height = dialog.RenderWindow->GetSize()[1];

  const double firstPick = Seconds([&] { dialog.PickCellAt(400, 300); });
  const int picks = 50;
  const double pick = Seconds([&] {
                        for (int i = 0; i < picks; ++i)
                          dialog.PickCellAt(300 + (i * 7) % 200, height - 200 - (i * 13) % 200);
                      }) /
                      picks;
  const double render = Best(3, [&] { dialog.Render(); });

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

  std::printf("pick (without its render): first, building the locator %.3f s, then %.3f ms; "
              "one render of the view %.3f ms\n",
              firstPick, pick * 1e3, render * 1e3);
  std::printf("arrow step (logic, no render): %.3f ms\n", step * 1e3);
}

// 100,000 cells, then 100,000 points, each made current and toggled as an import makes them.
void BenchToggles(const std::string& path, FakeWindowing& windowing, const char* lists) {
  MainDialog dialog(windowing);
  dialog.InitializeView();
  if (!dialog.OpenModelFile(path))
    return;
  vtkPolyData* model = dialog.Model();
  const int toggles = 100000;
  const vtkIdType cells = model->GetNumberOfCells();
  const double toggleCells = Seconds([&] {
    for (int i = 0; i < toggles; ++i) {
      dialog.SetCurrentCell(static_cast<int>((i * 7919LL) % cells), 0);
      dialog.ToggleCurrentCell();
    }
  });
  const vtkIdType points = model->GetNumberOfPoints();
  const double togglePoints = Seconds([&] {
    for (int i = 0; i < toggles; ++i) {
      dialog.SetCurrentPoint(static_cast<int>((i * 7919LL) % points));
      dialog.ToggleCurrentPoint();
    }
  });
  // What the next render then asks of the selection filters.
  const double appendCells = Seconds([&] { dialog.SelectedCells().CellsSource()->Update(); });
  const double appendMarkers = Seconds([&] { dialog.SelectedPoints().MarkersSource()->Update(); });
  const double clear = Seconds([&] {
    dialog.ClearSelectedCells();
    dialog.ClearSelectedPoints();
  });
  std::printf("toggling %d cells: %.2f s; %d points: %.2f s (%s)\n", toggles, toggleCells, toggles,
              togglePoints, lists);
  std::printf(
      "  then appending them for drawing: cells %.2f s (%lld points, %lld cells), "
      "markers %.2f s (%lld points, %lld cells)\n",
      appendCells,
      static_cast<long long>(
          dialog.SelectedCells().CellsSource()->GetOutput()->GetNumberOfPoints()),
      static_cast<long long>(dialog.SelectedCells().CellsSource()->GetOutput()->GetNumberOfCells()),
      appendMarkers,
      static_cast<long long>(
          dialog.SelectedPoints().MarkersSource()->GetOutput()->GetNumberOfPoints()),
      static_cast<long long>(
          dialog.SelectedPoints().MarkersSource()->GetOutput()->GetNumberOfCells()));
  std::printf("  then clearing both lists: %.2f s\n", clear);
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
  NullListWindowing noLists;
  BenchToggles(argv[1], noLists, "the viewer's own work: list boxes that do nothing");
  BenchWindowing hashedLists;
  BenchToggles(argv[1], hashedLists, "with hashed stand-in list boxes");
  return 0;
}
