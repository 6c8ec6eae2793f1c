// selvane-deform as a user runs it: the written model equals the in-process deformation bit
// for bit; bad input ends with one line naming the file and a non-zero exit, writing nothing.
#include "ShapeFit.h"
#include "TestMeshes.h"
#include "vtkShapeTransform.h"

#include <gtest/gtest.h>

#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkSphereSource.h>
#include <vtkTransformPolyDataFilter.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

using namespace selvane;

namespace {

struct ToolRun {
  int Exit = -1;
  std::string Output; // standard output and standard error
};

ToolRun Deform(const std::string& arguments) {
  const std::string command = std::string(SELVANE_DEFORM_TOOL) + " " + arguments + " 2>&1";
  ToolRun run;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[512];
  while (pipe && fgets(buffer, sizeof buffer, pipe))
    run.Output += buffer;
  const int status = pipe ? pclose(pipe) : -1;
  run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class DeformToolTest : public ::testing::Test {
protected:
  DeformToolTest() {
    vtkNew<vtkSphereSource> sphere;
    sphere->SetThetaResolution(20);
    sphere->SetPhiResolution(20);
    sphere->Update();
    Model = sphere->GetOutput();
    WriteLegacyModel(Model, Dir.File("model.vtk"));
    WriteTextFile(Dir.File("pairs.ptt"), "-1 -1 -1 -1 -1 -1\n1 -1 -1 1 -1 -1\n-1 1 -1 -1 1 -1\n"
                                         "-1 -1 1 -1 -1 1\n1 1 1 1 1 1\n0 0 0.5 0 0.1 0.8\n");
  }
  TempDir Dir;
  vtkSmartPointer<vtkPolyData> Model;
};

TEST_F(DeformToolTest, WritesTheDeformedModelExactly) {
  const ToolRun run = Deform(Dir.File("model.vtk") + " " + Dir.File("pairs.ptt") +
                             " --radius 0.9 --fraction 0.75 -o " + Dir.File("out.vtk"));
  ASSERT_EQ(run.Exit, 0) << run.Output;
  EXPECT_NE(run.Output.find("Solving time: "), std::string::npos) << run.Output;

  vtkNew<vtkPolyDataReader> reader;
  reader->SetFileName(Dir.File("out.vtk").c_str());
  reader->Update();
  vtkPoints* written = reader->GetOutput()->GetPoints();
  ASSERT_NE(written, nullptr);

  vtkNew<vtkShapeTransform> transform;
  ASSERT_TRUE(FitShapeTransform(Dir.File("pairs.ptt"), 0.9f, transform).Ok());
  transform->SetFraction(0.75f);
  vtkNew<vtkPolyDataReader> input;
  input->SetFileName(Dir.File("model.vtk").c_str());
  vtkNew<vtkTransformPolyDataFilter> filter;
  filter->SetTransform(transform);
  filter->SetInputConnection(input->GetOutputPort());
  filter->Update();
  vtkPoints* expected = filter->GetOutput()->GetPoints();
  ASSERT_EQ(written->GetNumberOfPoints(), expected->GetNumberOfPoints());
  int moved = 0;
  for (vtkIdType i = 0; i < expected->GetNumberOfPoints(); ++i) {
    for (int a = 0; a < 3; ++a)
      ASSERT_EQ(static_cast<float>(written->GetPoint(i)[a]), expected->GetPoint(i)[a])
          << "point " << i;
    moved += expected->GetPoint(i)[2] != Model->GetPoint(i)[2];
  }
  EXPECT_GT(moved, 0);
  EXPECT_EQ(reader->GetOutput()->GetNumberOfPolys(), Model->GetNumberOfPolys());
}

TEST_F(DeformToolTest, BadInputEndsWithOneLineAndLeavesTheOutputAlone) {
  WriteTextFile(Dir.File("out.vtk"), "keep me");
  WriteTextFile(Dir.File("line.ptt"), "0 0 0 0 0 1\n1 0 0 1 0 1\n2 0 0 2 0 1\n");
  WriteTextFile(Dir.File("notamodel.vtk"), "hello\n");
  const std::string model = Dir.File("model.vtk"), pairs = Dir.File("pairs.ptt");
  const std::string out = " -o " + Dir.File("out.vtk");
  const std::pair<std::string, std::string> cases[] = {
      {Dir.File("missing.vtk") + " " + pairs + " --radius 1" + out, "missing.vtk: "},
      {Dir.File("notamodel.vtk") + " " + pairs + " --radius 1" + out, "notamodel.vtk: "},
      {model + " " + Dir.File("missing.ptt") + " --radius 1" + out, "missing.ptt: "},
      {model + " " + Dir.File("line.ptt") + " --radius 1" + out, "line.ptt: "},
      {model + " " + pairs + " --radius 1 -o " + Dir.Path(), Dir.Path()}};
  for (const auto& [arguments, named] : cases) {
    const ToolRun run = Deform(arguments);
    EXPECT_EQ(run.Exit, 1) << arguments << "\n" << run.Output;
    const std::string last = run.Output.substr(run.Output.rfind("selvane-deform: "));
    EXPECT_NE(last.find(named), std::string::npos) << run.Output;
    EXPECT_EQ(last.find('\n'), last.size() - 1) << "one line: " << last;
  }
  for (const std::string& arguments :
       {model + " " + pairs + " --radius 0" + out, model + " " + pairs + " --radius nan" + out,
        model + " " + pairs + out, model + " --radius 1" + out,
        model + " " + pairs + " --radius 1 --fraction x" + out}) {
    const ToolRun run = Deform(arguments);
    EXPECT_EQ(run.Exit, 2) << arguments << "\n" << run.Output;
    EXPECT_NE(run.Output.find("usage: selvane-deform"), std::string::npos);
  }
  EXPECT_EQ(ReadText(Dir.File("out.vtk")), "keep me");
}

} // namespace
