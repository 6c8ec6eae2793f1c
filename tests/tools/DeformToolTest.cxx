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

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace selvane;

namespace {

struct ToolRun {
  int Exit = -1;
  std::string Output; // standard output and standard error
};

// Runs the tool through the shell; stdoutTo sends its standard output elsewhere.
ToolRun Deform(const std::string& arguments, const std::string& stdoutTo = "") {
  const std::string command = std::string(SELVANE_DEFORM_TOOL) + " " + arguments + " 2>&1" +
                              (stdoutTo.empty() ? "" : " >" + stdoutTo);
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

TEST_F(DeformToolTest, NumbersBeyondSinglePrecisionAreRefusedWithTheirCause) {
  const std::string inputs = Dir.File("model.vtk") + " " + Dir.File("pairs.ptt");
  const std::string out = " -o " + Dir.File("out.vtk");
  // Finite as a double and infinite as the float the spline works in, or beyond a double too.
  for (const std::string& numbers :
       {std::string(" --radius 1e300"), std::string(" --radius 0.9 --fraction 1e39"),
        std::string(" --radius 0.9 --fraction -1e39"), std::string(" --radius 1e400"),
        std::string(" --radius 0.9 --fraction -1e400")}) {
    const ToolRun run = Deform(inputs + numbers + out);
    EXPECT_EQ(run.Exit, 2) << numbers << "\n" << run.Output;
    EXPECT_NE(run.Output.find("larger than single precision holds (3.4e38)"), std::string::npos)
        << run.Output;
  }
  EXPECT_NE(Deform(inputs + " --radius 1e-50" + out).Output.find("smaller than single precision"),
            std::string::npos);
  // Written out, infinity is not a number at all.
  EXPECT_NE(Deform(inputs + " --radius inf" + out).Output.find("--radius needs a number"),
            std::string::npos);
  EXPECT_NE(access(Dir.File("out.vtk").c_str(), F_OK), 0);

  // Outside [0, 1] the tool warns and still writes the model.
  const ToolRun past = Deform(inputs + " --radius 0.9 --fraction 1.5" + out);
  EXPECT_EQ(past.Exit, 0) << past.Output;
  EXPECT_NE(past.Output.find("warning: the fraction 1.5 lies outside [0, 1]"), std::string::npos)
      << past.Output;
  EXPECT_EQ(access(Dir.File("out.vtk").c_str(), F_OK), 0);
}

TEST_F(DeformToolTest, AReportThatCannotBeWrittenIsAFailure) {
  const ToolRun run = Deform(Dir.File("model.vtk") + " " + Dir.File("pairs.ptt") +
                                 " --radius 0.9 -o " + Dir.File("out.vtk"),
                             "/dev/full");
  EXPECT_EQ(run.Exit, 1) << run.Output;
  EXPECT_NE(run.Output.find("selvane-deform: standard output: No space left on device"),
            std::string::npos)
      << run.Output;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  while (dir) {
    const dirent* entry = readdir(dir);
    if (!entry)
      break;
    if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
      names.push_back(entry->d_name);
  }
  if (dir)
    closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// The program as a user runs it under `ulimit -f`: the signal keeps its default action, so
// only the program itself can turn it into a reported write error.
TEST_F(DeformToolTest, AFileSizeLimitEndsWithAMessageAndNoFileLost) {
  WriteTextFile(Dir.File("out.vtk"), "keep me");
  const std::vector<std::string> before = FolderEntries(Dir.Path());
  const std::string model = Dir.File("model.vtk"), pairs = Dir.File("pairs.ptt"),
                    output = Dir.File("out.vtk");
  const TempDir logs;
  const std::string log = logs.File("messages.txt");
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_DFL);
    // The sphere's file is some 20 kB: it cannot be written within 4 kB.
    const rlimit limit = {4096, 4096};
    FILE* messages = std::freopen(log.c_str(), "w", stderr);
    if (!messages || setrlimit(RLIMIT_FSIZE, &limit) != 0)
      _exit(99);
    dup2(fileno(stderr), STDOUT_FILENO);
    execl(SELVANE_DEFORM_TOOL, SELVANE_DEFORM_TOOL, model.c_str(), pairs.c_str(), "--radius", "0.9",
          "-o", output.c_str(), static_cast<char*>(nullptr));
    _exit(98);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  const std::string messages = ReadText(log);
  ASSERT_FALSE(WIFSIGNALED(status)) << "killed by signal " << WTERMSIG(status);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1) << messages;
  const std::string last = messages.substr(messages.rfind("selvane-deform: "));
  EXPECT_NE(last.find(output), std::string::npos) << messages;
  // The tool keeps the C locale for its messages, whatever the environment.
  EXPECT_NE(last.find("File too large"), std::string::npos) << messages;
  EXPECT_EQ(ReadText(output), "keep me");
  EXPECT_EQ(FolderEntries(Dir.Path()), before) << "a temporary file was left behind";
}

} // namespace
