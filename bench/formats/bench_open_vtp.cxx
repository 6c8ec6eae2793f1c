// Open Model's .vtp reading against a bare vtkXMLPolyDataReader read of the same file.
//
//   bench_open_vtp [FOLDER] [REPEATS]
//
// Generates the 1,000,000-triangle bumpy surface of bench_open_model (500,002 points, region
// labels as cell scalars), writes it with vtkXMLPolyDataWriter as users' tools do: appended
// binary data compressed with zlib (the writer's default, base64-encoded, and raw), with lz4 and
// lzma, and uncompressed raw; and inline base64 data, uncompressed; then for each file prints
// the best of REPEATS (default 5) runs of the structure check alone on the bytes in memory, a
// bare vtkXMLPolyDataReader (SetFileName + Update), and ReadVtpModel (VTK's read of the parts
// of the file the check looks at and of the rest of the file, with the check on VTK's own parse,
// raw values checked as they are read, and the validation of the output), with the ratio of the
// checked read to the bare read.
#include "BenchTiming.h"
#include "BumpySurface.h"
#include "VtpModelReader.h"
#include "VtpStructureCheck.h"

#include <vtkNew.h>
#include <vtkPolyData.h>
#include <vtkXMLPolyDataReader.h>
#include <vtkXMLPolyDataWriter.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct FileKind {
  const char* Name;
  bool Base64;
  int Compressor; // 0 none, 1 zlib, 2 lz4, 3 lzma
  bool Inline = false;
};

} // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--help") {
    std::printf("usage: bench_open_vtp [FOLDER] [REPEATS]\n");
    return 0;
  }
  const selvane::bench::OpenBenchmark bench(argc, argv, "selvane-vtp-timing-");
  const fs::path& folder = bench.Folder;
  const int repeats = bench.Repeats;
  vtkPolyData* model = bench.Model;
  std::printf("%-28s %6s %8s %7s %7s %9s\n", "file", "MB", "check s", "bare s", "ours s",
              "ours/bare");
  int failures = 0;
  for (const FileKind& kind :
       {FileKind{"zlib-base64 (default)", true, 1}, FileKind{"zlib-raw", false, 1},
        FileKind{"lz4-raw", false, 2}, FileKind{"lzma-raw", false, 3},
        FileKind{"uncompressed-raw", false, 0},
        FileKind{"uncompressed-base64-inline", true, 0, true}}) {
    const std::string path = (folder / (std::string("bumpy-") + kind.Name + ".vtp")).string();
    vtkNew<vtkXMLPolyDataWriter> writer;
    writer->SetInputData(model);
    writer->SetFileName(path.c_str());
    if (kind.Inline) {
      writer->SetDataModeToBinary();
    } else {
      writer->SetDataModeToAppended();
      writer->SetEncodeAppendedData(kind.Base64);
    }
    if (kind.Compressor == 0) {
      writer->SetCompressorTypeToNone();
    } else if (kind.Compressor == 2) {
      writer->SetCompressorTypeToLZ4();
    } else if (kind.Compressor == 3) {
      writer->SetCompressorTypeToLZMA();
    } else {
      writer->SetCompressorTypeToZLib();
    }
    writer->Write();

    std::string bytes;
    {
      std::ifstream in(path, std::ios::binary);
      bytes.assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    const selvane::bench::BestTimes best = selvane::bench::TimeBestOf(
        repeats, [&] { failures += selvane::formats::CheckVtpStructure(bytes).Ok() ? 0 : 1; },
        [&] {
          vtkNew<vtkXMLPolyDataReader> reader;
          reader->SetFileName(path.c_str());
          reader->Update();
          failures += reader->GetOutput()->GetNumberOfPolys() > 0 ? 0 : 1;
        },
        [&] {
          vtkNew<vtkPolyData> read;
          const selvane::Result result = selvane::ReadVtpModel(path, read);
          if (!result.Ok()) {
            std::printf("%s: refused: %s\n", path.c_str(), result.Reason.c_str());
            ++failures;
          }
        });
    const double check = best.Alone, bare = best.Bare, ours = best.Ours;
    std::printf("%-28s %6.1f %8.3f %7.3f %7.3f %9.3f\n", kind.Name,
                static_cast<double>(fs::file_size(path)) / 1e6, check, bare, ours, ours / bare);
  }
  return failures == 0 ? 0 : 1;
}
