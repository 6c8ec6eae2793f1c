// Open Model's file reading against a bare vtkPolyDataReader read of the same file.
//
//   bench_open_model [FOLDER] [REPEATS]
//
// Generates a 1,000,000-triangle grid model (501 x 1001 points), writes it with
// vtkPolyDataWriter as ASCII and BINARY in file versions 4.2 and 5.1 into FOLDER (default: a
// new folder under the system's temporary folder, removed at the end), and for each file
// prints the best of REPEATS (default 5) runs of: our scanner alone (on the file, and on a copy
// already in memory, which is its pure processing cost), a bare
// vtkPolyDataReader + Update, and ReadModelFile (scan + read + validation), with the ratio of
// the whole open to the bare read.
#include "LegacyVtkScanner.h"
#include "ModelFileReader.h"

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkFloatArray.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkPolyDataWriter.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

double Seconds(const std::chrono::steady_clock::time_point& start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

vtkSmartPointer<vtkPolyData> Grid(int nx, int ny) {
  auto model = vtkSmartPointer<vtkPolyData>::New();
  vtkNew<vtkPoints> points;
  points->SetNumberOfPoints(static_cast<vtkIdType>(nx + 1) * (ny + 1));
  vtkIdType p = 0;
  for (int j = 0; j <= ny; ++j) {
    for (int i = 0; i <= nx; ++i) {
      points->SetPoint(p++, 0.01 * i, 0.01 * j, 0.001 * ((i * 7 + j * 3) % 11));
    }
  }
  vtkNew<vtkCellArray> polys;
  polys->AllocateExact(2 * nx * ny, 6 * nx * ny);
  vtkNew<vtkFloatArray> scalars;
  scalars->SetName("region");
  scalars->SetNumberOfValues(2 * static_cast<vtkIdType>(nx) * ny);
  vtkIdType c = 0;
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i) {
      const vtkIdType a = static_cast<vtkIdType>(j) * (nx + 1) + i;
      const vtkIdType t1[3] = {a, a + 1, a + nx + 2};
      const vtkIdType t2[3] = {a, a + nx + 2, a + nx + 1};
      polys->InsertNextCell(3, t1);
      polys->InsertNextCell(3, t2);
      scalars->SetValue(c, static_cast<float>(c % 4));
      ++c;
      scalars->SetValue(c, static_cast<float>(c % 4));
      ++c;
    }
  }
  model->SetPoints(points);
  model->SetPolys(polys);
  model->GetCellData()->SetScalars(scalars);
  return model;
}

} // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--help") {
    std::printf("usage: bench_open_model [FOLDER] [REPEATS]\n");
    return 0;
  }
  bool own = argc < 2;
  fs::path folder =
      own ? fs::temp_directory_path() / ("selvane-timing-" + std::to_string(::getpid()))
          : fs::path(argv[1]);
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  fs::create_directories(folder);

  vtkSmartPointer<vtkPolyData> model = Grid(1000, 500);
  std::printf("model: %lld points, %lld triangles; best of %d runs\n",
              static_cast<long long>(model->GetNumberOfPoints()),
              static_cast<long long>(model->GetNumberOfPolys()), repeats);
  std::printf("%-20s %6s %8s %8s %8s %8s %9s %9s\n", "file", "MB", "mem s", "scan s", "bare s",
              "ours s", "scan/bare", "ours/bare");
  int failures = 0;
  for (int version : {51, 42}) {
    for (bool binary : {false, true}) {
      const std::string name = std::string("grid-") + (version == 51 ? "5.1" : "4.2") +
                               (binary ? "-binary" : "-ascii") + ".vtk";
      const std::string path = (folder / name).string();
      vtkNew<vtkPolyDataWriter> writer;
      writer->SetInputData(model);
      writer->SetFileVersion(version);
      if (binary) {
        writer->SetFileTypeToBinary();
      }
      writer->SetFileName(path.c_str());
      writer->Write();

      std::string bytes;
      {
        std::ifstream in(path, std::ios::binary);
        bytes.assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      }
      double memory = 1e30;
      double scan = 1e30;
      double bare = 1e30;
      double ours = 1e30;
      for (int r = 0; r < repeats; ++r) {
        auto t0 = std::chrono::steady_clock::now();
        if (!selvane::ScanLegacyVtkBuffer(bytes.data(), bytes.size()).Ok()) {
          ++failures;
        }
        memory = std::min(memory, Seconds(t0));

        t0 = std::chrono::steady_clock::now();
        selvane::LegacyVtkScanResult s = selvane::ScanLegacyVtkFile(path);
        scan = std::min(scan, Seconds(t0));
        if (!s.Ok()) {
          std::printf("%s: scan refused: %s\n", name.c_str(), s.Reason.c_str());
          ++failures;
        }

        t0 = std::chrono::steady_clock::now();
        {
          vtkNew<vtkPolyDataReader> reader;
          reader->SetFileName(path.c_str());
          reader->Update();
        }
        bare = std::min(bare, Seconds(t0));

        t0 = std::chrono::steady_clock::now();
        {
          vtkNew<vtkPolyDataReader> reader;
          std::string reason = selvane::ReadModelFile(path, reader);
          if (!reason.empty()) {
            std::printf("%s: refused: %s\n", name.c_str(), reason.c_str());
            ++failures;
          }
        }
        ours = std::min(ours, Seconds(t0));
      }
      std::printf("%-20s %6.1f %8.3f %8.3f %8.3f %8.3f %9.3f %9.3f\n", name.c_str(),
                  static_cast<double>(fs::file_size(path)) / 1e6, memory, scan, bare, ours,
                  scan / bare, ours / bare);
    }
  }
  if (own) {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
  return failures == 0 ? 0 : 1;
}
