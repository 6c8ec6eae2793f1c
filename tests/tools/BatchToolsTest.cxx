// selvane-fit --save and selvane-deform --fit as a lab scripts them: a kept fit deforms bit for
// bit as a fresh solve, --json is valid JSON with the summary's fields, output formats follow
// the extension and an unknown one is refused with nothing written, --displacement holds the
// moves, a damaged fit file is refused naming it.
#include "ModelFormats.h"
#include "TestMeshes.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <vtkDataArray.h>
#include <vtkNew.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkSphereSource.h>
#include <vtkXMLPolyDataReader.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <vector>

using namespace selvane;

namespace {

struct ToolRun {
  int Exit = -1;
  std::string Output; // standard output, and standard error unless kept apart
};

// Runs a tool through the shell; standard error goes to errorsTo when given.
ToolRun RunTool(const std::string& tool, const std::string& arguments,
                const std::string& errorsTo = "&1") {
  const std::string command = tool + " " + arguments + " 2>" + errorsTo;
  ToolRun run;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[512];
  while (pipe && fgets(buffer, sizeof buffer, pipe))
    run.Output += buffer;
  const int status = pipe ? pclose(pipe) : -1;
  run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

ToolRun Fit(const std::string& arguments, const std::string& errorsTo = "&1") {
  return RunTool(SELVANE_FIT_TOOL, arguments, errorsTo);
}
ToolRun Deform(const std::string& arguments, const std::string& errorsTo = "&1") {
  return RunTool(SELVANE_DEFORM_TOOL, arguments, errorsTo);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

vtkSmartPointer<vtkPolyData> ReadVtp(const std::string& path) {
  vtkNew<vtkXMLPolyDataReader> reader;
  reader->SetFileName(path.c_str());
  reader->Update();
  return reader->GetOutput();
}

class BatchToolsTest : public ::testing::Test {
protected:
  BatchToolsTest() {
    vtkNew<vtkSphereSource> sphere;
    sphere->SetThetaResolution(24);
    sphere->SetPhiResolution(24);
    sphere->Update();
    Model = sphere->GetOutput();
    WriteLegacyModel(Model, Dir.File("model.vtk"));
    WriteLegacyModel(Model, Dir.File("other.vtk"));
    WriteTextFile(Dir.File("pairs.ptt"), "-1 -1 -1 -1 -1 -1\n1 -1 -1 1 -1 -1\n-1 1 -1 -1 1 -1\n"
                                         "-1 -1 1 -1 -1 1\n1 1 1 1 1 1\n0 0 0.5 0 0.1 0.8\n"
                                         "0.5 0 0 0.6 0.1 0\n");
  }
  std::string Inputs() const { return Dir.File("model.vtk") + " " + Dir.File("pairs.ptt"); }
  TempDir Dir;
  vtkSmartPointer<vtkPolyData> Model;
};

TEST_F(BatchToolsTest, AKeptFitDeformsEveryModelBitForBitAsAFreshSolve) {
  const ToolRun fit = Fit(Dir.File("pairs.ptt") + " --radius 0.9 --save " + Dir.File("fit.json"));
  ASSERT_EQ(fit.Exit, 0) << fit.Output;
  // The report is the one selvane-fit always printed, and one more line.
  EXPECT_NE(fit.Output.find("Constructing time: "), std::string::npos) << fit.Output;
  EXPECT_NE(fit.Output.find("\nResidual: "), std::string::npos) << fit.Output;
  EXPECT_NE(fit.Output.find("Saved the fit to " + Dir.File("fit.json")), std::string::npos);

  for (const char* fraction : {"1", "0.35"}) {
    SCOPED_TRACE(fraction);
    const ToolRun fresh =
        Deform(Inputs() + " --radius 0.9 --fraction " + fraction + " -o " + Dir.File("fresh.vtk"));
    ASSERT_EQ(fresh.Exit, 0) << fresh.Output;
    std::filesystem::create_directory(Dir.File("cohort"));
    const ToolRun kept =
        Deform("--fit " + Dir.File("fit.json") + " " + Dir.File("model.vtk") + " " +
               Dir.File("other.vtk") + " --fraction " + fraction + " -o " + Dir.File("cohort/"));
    ASSERT_EQ(kept.Exit, 0) << kept.Output;
    EXPECT_EQ(kept.Output.find("Solving time"), std::string::npos) << "solved again";
    // The legacy text holds each coordinate exactly: equal files are equal points.
    const std::string expected = ReadBytes(Dir.File("fresh.vtk"));
    EXPECT_EQ(ReadBytes(Dir.File("cohort/model.vtk")), expected);
    EXPECT_EQ(ReadBytes(Dir.File("cohort/other.vtk")), expected);
    EXPECT_NE(expected, ReadBytes(Dir.File("model.vtk"))) << "nothing moved";
  }
}

TEST_F(BatchToolsTest, JsonSummariesParseAndHoldTheirFields) {
  const ToolRun fit = Fit(
      Dir.File("pairs.ptt") + " --radius 0.9 --json --save " + Dir.File("fit.json"), "/dev/null");
  ASSERT_EQ(fit.Exit, 0) << fit.Output;
  const auto f = nlohmann::json::parse(fit.Output); // the solver's report stays out of it
  EXPECT_EQ(f.at("tool"), "selvane-fit");
  EXPECT_EQ(f.at("pairs"), 7);
  EXPECT_EQ(f.at("radius"), 0.9);
  EXPECT_EQ(f.at("solver"), "envelope");
  EXPECT_LT(f.at("residual").get<double>(), 1e-4);
  EXPECT_GE(f.at("times").at("solve").get<double>(), 0.0);
  EXPECT_EQ(f.at("saved"), Dir.File("fit.json"));

  for (const std::string& source :
       {Inputs() + " --radius 0.9 --solver sparse",
        "--fit " + Dir.File("fit.json") + " " + Dir.File("model.vtk")}) {
    SCOPED_TRACE(source);
    const ToolRun deform = Deform(source + " --json -o " + Dir.File("out.vtp"), "/dev/null");
    ASSERT_EQ(deform.Exit, 0) << deform.Output;
    const auto d = nlohmann::json::parse(deform.Output);
    EXPECT_EQ(d.at("tool"), "selvane-deform");
    EXPECT_EQ(d.at("fit").at("pairs"), 7);
    EXPECT_FLOAT_EQ(d.at("fit").at("radius").get<float>(), 0.9f);
    EXPECT_TRUE(d.at("fit").at("residual").is_number());
    EXPECT_EQ(d.at("fit").at("solver"),
              source.find("sparse") != std::string::npos ? "sparse" : "envelope");
    ASSERT_EQ(d.at("models").size(), 1u);
    const auto& m = d.at("models")[0];
    EXPECT_EQ(m.at("points"), Model->GetNumberOfPoints());
    EXPECT_EQ(m.at("cells"), Model->GetNumberOfCells());
    EXPECT_EQ(m.at("output"), Dir.File("out.vtp"));
    EXPECT_TRUE(d.at("seconds").is_number());
  }

  // --quiet: nothing on standard output, the file still written.
  const ToolRun quiet = Deform(Inputs() + " --radius 0.9 --quiet -o " + Dir.File("q.stl"));
  EXPECT_EQ(quiet.Exit, 0);
  EXPECT_EQ(quiet.Output, "");
  EXPECT_GT(ReadBytes(Dir.File("q.stl")).size(), 84u);
}

TEST_F(BatchToolsTest, OutputsFollowTheExtensionAndAnUnknownOneWritesNothing) {
  const std::vector<std::string> before = Entries(Dir.Path());
  for (const std::string& output :
       {Dir.File("out.xyz"), Dir.File("out"), Dir.File("out.vtk.bak")}) {
    const ToolRun run = Deform(Inputs() + " --radius 0.9 -o " + output);
    EXPECT_EQ(run.Exit, 1) << run.Output;
    EXPECT_NE(run.Output.find("selvane-deform: " + output + ": "), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("(known: .vtk, .vtp, .stl, .ply, .obj)"), std::string::npos)
        << run.Output;
    EXPECT_EQ(run.Output.find("Solving time"), std::string::npos) << "solved before refusing";
  }
  // Several models need a folder; two of the same name would overwrite each other.
  std::filesystem::create_directory(Dir.File("a"));
  WriteLegacyModel(Model, Dir.File("a/model.vtk"));
  const std::vector<std::string> withA = Entries(Dir.Path());
  const std::string fit = "--fit " + Dir.File("missing.json") + " ";
  EXPECT_EQ(
      Deform(fit + Dir.File("model.vtk") + " " + Dir.File("other.vtk") + " -o " + Dir.File("x.vtk"))
          .Exit,
      1);
  const ToolRun twice = Deform(fit + Dir.File("model.vtk") + " " + Dir.File("a/model.vtk") +
                               " -o " + Dir.Path() + "/");
  EXPECT_EQ(twice.Exit, 1);
  EXPECT_NE(twice.Output.find("two models would be written to this file"), std::string::npos)
      << twice.Output;
  EXPECT_EQ(Entries(Dir.Path()), withA);
  EXPECT_EQ(before.size() + 1, withA.size());

  // --displacement: the vector each point moved, output minus input.
  const ToolRun run = Deform(Inputs() + " --radius 0.9 --displacement -o " + Dir.File("moved.vtp"));
  ASSERT_EQ(run.Exit, 0) << run.Output;
  auto moved = ReadVtp(Dir.File("moved.vtp"));
  vtkNew<vtkPolyDataReader> input; // the model as the tool read it
  input->SetFileName(Dir.File("model.vtk").c_str());
  input->Update();
  vtkPoints* read = input->GetOutput()->GetPoints();
  vtkDataArray* displacement = moved->GetPointData()->GetArray("displacement");
  ASSERT_NE(displacement, nullptr);
  ASSERT_EQ(displacement->GetNumberOfComponents(), 3);
  double largest = 0;
  for (vtkIdType i = 0; i < moved->GetNumberOfPoints(); ++i)
    for (int a = 0; a < 3; ++a) {
      const double expected = static_cast<float>(moved->GetPoint(i)[a] - read->GetPoint(i)[a]);
      EXPECT_EQ(displacement->GetComponent(i, a), expected) << i;
      largest = std::max(largest, std::abs(expected));
    }
  EXPECT_GT(largest, 0.01);
}

TEST_F(BatchToolsTest, ADamagedFitFileIsRefusedNamingIt) {
  ASSERT_EQ(Fit(Dir.File("pairs.ptt") + " --radius 0.9 -q --save " + Dir.File("fit.json")).Exit, 0);
  const std::string good = ReadBytes(Dir.File("fit.json"));
  const std::string weights = "\"weights\": [";
  const std::pair<std::string, std::string> damage[] = {
      {good.substr(0, good.size() / 2), "is not valid JSON"},
      {"{\"format\": \"something else\"}", "is not a fit file"},
      {std::string(good).replace(good.find("\"version\": 1"), 12, "\"version\": 7"), "version"},
      {std::string(good).replace(good.find(weights), weights.size(), weights + "[1,2,3],"),
       "7 centres but 8 weights"},
      {std::string(good).replace(good.find("\"radius\": "), 10, "\"radius\": -"), "'radius'"}};
  WriteLegacyModel(Model, Dir.File("keep.vtk"));
  const std::string kept = ReadBytes(Dir.File("keep.vtk"));
  for (const auto& [text, reason] : damage) {
    WriteTextFile(Dir.File("bad.json"), text);
    const ToolRun run = Deform("--fit " + Dir.File("bad.json") + " " + Dir.File("model.vtk") +
                               " -o " + Dir.File("keep.vtk"));
    EXPECT_EQ(run.Exit, 1) << run.Output;
    EXPECT_EQ(run.Output.rfind("selvane-deform: " + Dir.File("bad.json") + ": ", 0), 0u)
        << run.Output;
    EXPECT_NE(run.Output.find(reason), std::string::npos) << run.Output;
    EXPECT_EQ(std::count(run.Output.begin(), run.Output.end(), '\n'), 1) << run.Output;
  }
  EXPECT_EQ(ReadBytes(Dir.File("keep.vtk")), kept);
}

TEST_F(BatchToolsTest, ASeriesListsEveryFrameAndEachOpensWithTheFrameShape) {
  // Four frames per half cycle, two cycles: k = 0 .. 7 at 0, 1/4, 2/4, 3/4, 2/4, 1/4, 0, 1/4.
  const std::string collection = Dir.File("morph.pvd");
  const ToolRun run =
      Deform(Inputs() + " --radius 0.9 --frames 4 --cycles 2 --series " + collection);
  ASSERT_EQ(run.Exit, 0) << run.Output;
  EXPECT_NE(run.Output.find("Wrote 8 frames of the morph: " + collection), std::string::npos)
      << run.Output;
  const std::string listing = ReadBytes(collection);
  for (int k = 0; k < 8; ++k) {
    SCOPED_TRACE(k);
    char name[32];
    std::snprintf(name, sizeof name, "morph_%04d.vtp", k);
    EXPECT_NE(listing.find("timestep=\"" + std::to_string(k) + "\" group=\"\" part=\"0\" file=\"" +
                           name + "\""),
              std::string::npos)
        << listing;
    auto frame = ReadVtp(Dir.File(name));
    ASSERT_EQ(frame->GetNumberOfPoints(), Model->GetNumberOfPoints());
    EXPECT_EQ(frame->GetNumberOfPolys(), Model->GetNumberOfPolys());
  }
  // Frame 2 is the shape at fraction 0.5, bit for bit; frame 0 the model as read.
  ASSERT_EQ(Deform(Inputs() + " --radius 0.9 --fraction 0.5 -o " + Dir.File("half.vtp")).Exit, 0);
  auto half = ReadVtp(Dir.File("half.vtp"));
  auto second = ReadVtp(Dir.File("morph_0002.vtp")), first = ReadVtp(Dir.File("morph_0000.vtp"));
  vtkNew<vtkPolyDataReader> input;
  input->SetFileName(Dir.File("model.vtk").c_str());
  input->Update();
  for (vtkIdType i = 0; i < half->GetNumberOfPoints(); ++i)
    for (int a = 0; a < 3; ++a) {
      ASSERT_EQ(second->GetPoint(i)[a], half->GetPoint(i)[a]) << i;
      ASSERT_EQ(first->GetPoint(i)[a], input->GetOutput()->GetPoint(i)[a]) << i;
    }

  // A series is one model's; a collection must be a .pvd file.
  const ToolRun notPvd =
      Deform(Inputs() + " --radius 0.9 --frames 4 --series " + Dir.File("morph.vtp"));
  EXPECT_EQ(notPvd.Exit, 1) << notPvd.Output;
  EXPECT_NE(notPvd.Output.find(".pvd"), std::string::npos) << notPvd.Output;
  EXPECT_EQ(Deform(Inputs() + " --radius 0.9 --series " + collection).Exit, 2);
}

// The JSON summary's counts of one model's deformation.
std::pair<long long, long long> UnreachedAndFolds(const ToolRun& run) {
  const auto summary = nlohmann::json::parse(run.Output);
  const auto& model = summary.at("models").at(0);
  return {model.at("unreached").get<long long>(), model.at("folds").get<long long>()};
}

TEST_F(BatchToolsTest, JsonCountsUnreachedPointsAndFolds) {
  vtkNew<vtkPolyDataReader> input; // the sphere of radius 0.5 as the tool reads it
  input->SetFileName(Dir.File("model.vtk").c_str());
  input->Update();
  vtkPoints* points = input->GetOutput()->GetPoints();

  // Sources near the north pole, a small radius: the rest of the sphere is out of reach.
  const double sources[4][3] = {{0, 0, 0.5}, {0.1, 0, 0.48}, {0, 0.1, 0.48}, {-0.1, 0, 0.48}};
  std::string pairs;
  for (const auto& c : sources)
    pairs += std::to_string(c[0]) + " " + std::to_string(c[1]) + " " + std::to_string(c[2]) + " " +
             std::to_string(c[0]) + " " + std::to_string(c[1]) + " " + std::to_string(c[2] + 0.05) +
             "\n";
  WriteTextFile(Dir.File("pole.ptt"), pairs);
  const double radius = 0.3;
  long long expected = 0;
  for (vtkIdType i = 0; i < points->GetNumberOfPoints(); ++i) {
    bool reached = false;
    for (const auto& c : sources) {
      const double* p = points->GetPoint(i);
      const double dx = p[0] - c[0], dy = p[1] - c[1], dz = p[2] - c[2];
      reached = reached || std::sqrt(dx * dx + dy * dy + dz * dz) < radius;
    }
    expected += !reached;
  }
  ASSERT_GT(expected, 0);
  ASSERT_LT(expected, points->GetNumberOfPoints());
  const ToolRun pole = Deform(Dir.File("model.vtk") + " " + Dir.File("pole.ptt") +
                                  " --radius 0.3 --json -o " + Dir.File("pole.vtk"),
                              "/dev/null");
  ASSERT_EQ(pole.Exit, 0) << pole.Output;
  EXPECT_EQ(UnreachedAndFolds(pole).first, expected);

  // A move of the whole sphere within the radius: nothing unreached, nothing folded.
  WriteTextFile(Dir.File("shift.ptt"), "0.5 0 0 0.6 0 0\n-0.5 0 0 -0.4 0 0\n0 0.5 0 0.1 0.5 0\n"
                                       "0 0 0.5 0.1 0 0.5\n0 0 -0.5 0.1 0 -0.5\n");
  const ToolRun shift = Deform(Dir.File("model.vtk") + " " + Dir.File("shift.ptt") +
                                   " --radius 2 --json -o " + Dir.File("shift.vtk"),
                               "/dev/null");
  ASSERT_EQ(shift.Exit, 0) << shift.Output;
  EXPECT_EQ(UnreachedAndFolds(shift), std::make_pair(0LL, 0LL));

  // The north pole pushed through the south one while the equator stays: the cap turns over.
  WriteTextFile(Dir.File("fold.ptt"), "0 0 0.5 0 0 -0.8\n0.5 0 0 0.5 0 0\n-0.5 0 0 -0.5 0 0\n"
                                      "0 0.5 0 0 0.5 0\n0 -0.5 0 0 -0.5 0\n");
  const ToolRun fold = Deform(Dir.File("model.vtk") + " " + Dir.File("fold.ptt") +
                                  " --radius 0.9 --json -o " + Dir.File("fold.vtk"),
                              "/dev/null");
  ASSERT_EQ(fold.Exit, 0) << fold.Output;
  EXPECT_GT(UnreachedAndFolds(fold).second, 0);
}

TEST_F(BatchToolsTest, HelpAndVersion) {
  for (const char* tool : {SELVANE_FIT_TOOL, SELVANE_DEFORM_TOOL}) {
    const ToolRun help = RunTool(tool, "--help");
    EXPECT_EQ(help.Exit, 0);
    for (const char* topic : {"model units", "six numbers", "fraction", "--json", "--quiet"})
      EXPECT_NE(help.Output.find(topic), std::string::npos) << tool << ": " << topic;
    if (std::string(tool) == SELVANE_DEFORM_TOOL) {
      // The MODEL entry names every extension Open Model reads; it once left .vtp out.
      const auto entry = help.Output.find("\nMODEL ");
      ASSERT_NE(entry, std::string::npos) << help.Output;
      const std::string line =
          help.Output.substr(entry + 1, help.Output.find('\n', entry + 1) - entry);
      std::istringstream known(KnownModelExtensions());
      for (std::string extension; known >> extension;)
        EXPECT_NE(line.find(extension), std::string::npos) << extension << " in: " << line;
    }
    const ToolRun version = RunTool(tool, "--version");
    EXPECT_EQ(version.Exit, 0);
    EXPECT_NE(version.Output.find(SELVANE_VERSION), std::string::npos) << version.Output;
  }
}

} // namespace
