// Writes a bumpy torus as a legacy VTK polydata file with cell scalars 0..3 in bands, so
// each of the model's four named colours shows. Used for the bundled sample model and for
// the large models of the benchmarks.
#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkFloatArray.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataWriter.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void Usage() {
  std::fprintf(stderr, "usage: selvane-make-model [--around N] [--across M] [--binary] "
                       "[--version 4.2|5.1] -o OUT.vtk\n"
                       "  writes a torus of 2*N*M triangles (default N=40, M=20)\n");
}

vtkNew<vtkPolyData> MakeTorus(long around, long across) {
  const double pi = 3.14159265358979323846;
  vtkNew<vtkPoints> points;
  points->SetDataTypeToFloat();
  points->SetNumberOfPoints(around * across);
  for (long i = 0; i < around; ++i) {
    const double u = 2 * pi * i / around;
    for (long j = 0; j < across; ++j) {
      const double v = 2 * pi * j / across;
      const double tube = 1.0 + 0.08 * std::sin(5 * u) * std::sin(3 * v);
      const double ring = 3.0 + tube * std::cos(v);
      points->SetPoint(i * across + j, ring * std::cos(u), ring * std::sin(u),
                       1.5 * tube * std::sin(v));
    }
  }
  vtkNew<vtkCellArray> polys;
  polys->AllocateExact(2 * around * across, 6 * around * across);
  vtkNew<vtkFloatArray> bands;
  bands->SetName("Bands");
  bands->Allocate(2 * around * across);
  for (long i = 0; i < around; ++i) {
    const long i1 = (i + 1) % around;
    for (long j = 0; j < across; ++j) {
      const long j1 = (j + 1) % across;
      const vtkIdType a = i * across + j, b = i1 * across + j, c = i1 * across + j1,
                      d = i * across + j1;
      const vtkIdType t1[3] = {a, b, c}, t2[3] = {a, c, d};
      polys->InsertNextCell(3, t1);
      polys->InsertNextCell(3, t2);
      const float band = static_cast<float>((4 * i / around) % 4);
      bands->InsertNextValue(band);
      bands->InsertNextValue(band);
    }
  }
  vtkNew<vtkPolyData> torus;
  torus->SetPoints(points);
  torus->SetPolys(polys);
  torus->GetCellData()->SetScalars(bands);
  return torus;
}

} // namespace

int main(int argc, char** argv) {
  long around = 40, across = 20;
  bool binary = false;
  int version = 42;
  std::string out;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--around" && hasValue)
      around = std::atol(argv[++i]);
    else if (arg == "--across" && hasValue)
      across = std::atol(argv[++i]);
    else if (arg == "--binary")
      binary = true;
    else if (arg == "--version" && hasValue)
      version = std::strcmp(argv[++i], "5.1") == 0 ? 51 : 42;
    else if (arg == "-o" && hasValue)
      out = argv[++i];
    else {
      Usage();
      return 2;
    }
  }
  if (out.empty() || around < 3 || across < 3) {
    Usage();
    return 2;
  }
  auto torus = MakeTorus(around, across);
  vtkNew<vtkPolyDataWriter> writer;
  writer->SetInputData(torus);
  writer->SetFileName(out.c_str());
  writer->SetFileVersion(version);
  writer->SetHeader("Selvane sample model: bumpy torus");
  if (binary)
    writer->SetFileTypeToBinary();
  if (writer->Write() != 1) {
    std::fprintf(stderr, "selvane-make-model: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
