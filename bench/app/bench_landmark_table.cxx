// How fast the landmark table fills with 100,000 selected points, against a table of one
// widget item per cell (QTableWidget) filled with the same texts, in one run.
//
//   bench_landmark_table [POINTS]      (default 100000; needs a display or xvfb-run)
//
// The model is a finely divided sphere (about 120,000 points, as a scanned surface), the
// selection one import of POINTS of its points, each with a target moved off the surface.
#include "FakeWindowing.h"
#include "LandmarkTable.h"
#include "MainDialog.h"
#include "TestMeshes.h"

#include <vtkNew.h>
#include <vtkPolyData.h>
#include <vtkSphereSource.h>

#include <QApplication>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTableWidget>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace selvane;

namespace {

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Lets the view lay out and paint what it shows.
void Show(QWidget& widget) {
  widget.show();
  for (int i = 0; i < 3; ++i)
    QApplication::processEvents();
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const long long wanted = argc > 1 ? std::atoll(argv[1]) : 100000;

  TempDir dir;
  vtkNew<vtkSphereSource> sphere;
  sphere->SetThetaResolution(400);
  sphere->SetPhiResolution(300);
  sphere->SetRadius(50);
  sphere->Update();
  const std::string path = dir.File("sphere.vtk");
  if (!WriteLegacyModel(sphere->GetOutput(), path)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  FakeWindowing windowing;
  MainDialog dialog(windowing);
  if (!dialog.OpenModelFile(path))
    return 1;
  const vtkIdType count = dialog.Model()->GetNumberOfPoints();
  const vtkIdType points = std::min<vtkIdType>(wanted, count);
  std::vector<vtkIdType> ids;
  std::vector<std::array<float, 3>> targets;
  for (vtkIdType i = 0; i < points; ++i) {
    const vtkIdType id = (i * 7919) % count;
    double p[3];
    dialog.Model()->GetPoint(id, p);
    ids.push_back(id);
    targets.push_back({static_cast<float>(p[0] * 1.01), static_cast<float>(p[1]),
                       static_cast<float>(p[2] + 0.5)});
  }
  const double import = Seconds(
      [&] { dialog.ReplaceSelectedPoints(ids, targets, "Import points from transformations"); });
  const long long rows = dialog.SelectedPoints().Size();

  // The table as the window has it: model, sorting proxy, view.
  LandmarkDock dock(dialog);
  dock.resize(900, 600);
  const double fill = Seconds([&] {
    dock.Model()->ListChanged(-1);
    Show(dock);
  });
  const double sort = Seconds([&] {
    dock.View()->sortByColumn(LandmarkTableModel::DistanceColumn, Qt::AscendingOrder);
    QApplication::processEvents();
  });
  // One more selection while sorted: one row goes in at its place.
  dialog.SetCurrentPoint(static_cast<int>((points * 7919 + 1) % count));
  const double toggle = Seconds([&] {
    dialog.ToggleCurrentPoint();
    QApplication::processEvents();
  });
  const double refill = Seconds([&] {
    dock.Model()->ListChanged(-1);
    QApplication::processEvents();
  });

  // The baseline: one QTableWidgetItem per cell, the same texts.
  const int columns = LandmarkTableModel::ColumnCount;
  QTableWidget widget(static_cast<int>(rows), columns);
  widget.resize(900, 600);
  const double widgets = Seconds([&] {
    QAbstractItemModel* source = dock.Model();
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < columns; ++c)
        widget.setItem(r, c, new QTableWidgetItem(source->index(r, c).data().toString()));
    Show(widget);
  });

  std::printf("landmark table, %lld rows of %lld model points:\n", rows,
              static_cast<long long>(count));
  std::printf("  import (one step)          %.3f s\n", import);
  std::printf("  fill and first paint       %.3f s  (%.2f of the 1 s budget)\n", fill, fill);
  std::printf("  sort by distance           %.3f s\n", sort);
  std::printf("  one selection while sorted %.4f s\n", toggle);
  std::printf("  refill while sorted        %.3f s\n", refill);
  std::printf("  baseline QTableWidget fill %.3f s  (model-view fill = %.3f of it)\n", widgets,
              fill / widgets);
  return 0;
}
