// Open Model's file reading against a bare vtkPolyDataReader read of the same file.
//
//   bench_open_model [FOLDER] [REPEATS]
//
// Generates a 1,000,000-triangle closed, bumpy surface with a little noise on every point (as a
// scanned surface looks: 500,002 points, coordinates with all their digits) and region labels
// on its cells, writes it with vtkPolyDataWriter as ASCII and BINARY in file versions 4.2 and
// 5.1 into FOLDER (default: a new folder under the system's temporary folder, removed at the
// end), and for each file prints the best of REPEATS (default 5) runs of: our scanner alone on
// the bytes in memory, a bare vtkPolyDataReader (SetFileName + Update), and ReadModel as Open
// Model calls it (a BINARY file of points, cells and scalars read straight into the model's
// arrays and checked as it is turned from big-endian; an ASCII file copied once into a sealed
// memory file, scanned while it is copied, read by VTK from that copy, validated), with the
// ratio of the checked read to the bare read; and the peak memory each of the two reads adds
// (the rise of the high-water mark of a fresh process that does nothing else), with their
// ratio.
#include "BenchTiming.h"
#include "BumpySurface.h"
#include "LegacyVtkScanner.h"
#include "ModelFileReader.h"
#include "ModelFormats.h"

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkFloatArray.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkPolyDataWriter.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The bare or the checked read of path, once, in this process.
bool ReadOnce(const std::string& mode, const std::string& path) {
  vtkNew<vtkPolyDataReader> reader;
  if (mode == "bare") {
    reader->SetFileName(path.c_str());
    reader->Update();
    return reader->GetOutput()->GetNumberOfPolys() > 0;
  }
  // What Open Model does.
  vtkNew<vtkPolyData> model;
  const selvane::Result read = selvane::ReadModel(path, model);
  if (!read.Ok()) {
    std::printf("%s: refused: %s\n", path.c_str(), read.Reason.c_str());
  }
  return read.Ok() && model->GetNumberOfPolys() > 0;
}

} // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--help") {
    std::printf("usage: bench_open_model [FOLDER] [REPEATS]\n");
    return 0;
  }
  if (argc == 4 && std::string(argv[1]) == "--peak") {
    return selvane::bench::PrintPeakKilobytes(ReadOnce, argv[2], argv[3]);
  }
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const selvane::bench::OpenBenchmark bench(argc, argv, "selvane-timing-");
  const fs::path& folder = bench.Folder;
  const int repeats = bench.Repeats;
  vtkPolyData* model = bench.Model;
  std::printf("%-18s %6s %7s %7s %7s %9s %8s %8s %8s\n", "file", "MB", "scan s", "bare s", "ours s",
              "ours/bare", "bare MB", "ours MB", "mem o/b");
  int failures = 0;
  for (int version : {51, 42}) {
    for (bool binary : {false, true}) {
      const std::string name = std::string("bumpy-") + (version == 51 ? "5.1" : "4.2") +
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
      const selvane::bench::BestTimes best = selvane::bench::TimeBestOf(
          repeats,
          [&] {
            if (!selvane::ScanLegacyVtkBuffer(bytes.data(), bytes.size()).Ok()) {
              ++failures;
            }
          },
          [&] { failures += ReadOnce("bare", path) ? 0 : 1; },
          [&] { failures += ReadOnce("checked", path) ? 0 : 1; });
      const double scan = best.Alone, bare = best.Bare, ours = best.Ours;
      const double bareMb = selvane::bench::PeakMegabytes(self, "bare", path);
      const double oursMb = selvane::bench::PeakMegabytes(self, "checked", path);
      std::printf("%-18s %6.1f %7.3f %7.3f %7.3f %9.3f %8.1f %8.1f %8.2f\n", name.c_str(),
                  static_cast<double>(fs::file_size(path)) / 1e6, scan, bare, ours, ours / bare,
                  bareMb, oursMb, oursMb / bareMb);
    }
  }
  return failures == 0 ? 0 : 1;
}
