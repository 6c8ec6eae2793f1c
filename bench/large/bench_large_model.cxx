// A 10,000,000-triangle model through the whole Selvane flow on this machine: Open Model,
// Transform with 10,000 point pairs and its animation, Save Model As, each through the commands
// the window runs (off-screen window system of the tests). Peak memory is compared with a bare
// vtkPolyDataReader read of the same file.
//
//   bench_large_model [--model FILE] [--around N] [--across M] [--pairs P] [--radius R]
//                     [--frames F] [--cycles C] [--size W H]
//
// The model is a torus from selvane-make-model (2 * N * M triangles, default N=5000, M=1000),
// BINARY legacy VTK: ASCII would be several GB and its parsing would dominate. Without --model
// it goes to a new folder under the system's temporary folder that is removed at the end; with
// --model it is made only if missing, and kept. The saved model is always removed.
//
// Each measured sequence runs in its own process (this program again, with --child), so its
// VmHWM is the peak of that sequence alone: the bare read, and the flow. The point pairs are
// written by a third process beforehand, so their preparation is in neither figure.
//
// Mesa's software rasterizer (llvmpipe) with worker threads holds on to memory of its own that
// grows while a model this large is drawn frame after frame. When the view is drawn by llvmpipe
// and LP_NUM_THREADS is not set, the flow runs a second time with LP_NUM_THREADS=0, which keeps
// the driver from growing, so that Selvane's own peak can be told from the driver's.
#include "AtomicFile.h"
#include "FakeWindowing.h"
#include "FileCommands.h"
#include "MainDialog.h"
#include "SelectionFiles.h"
#include "TransformCommand.h"
#include "vtkShapeTransform.h"

#include <vtkCallbackCommand.h>
#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkCommand.h>
#include <vtkMath.h>
#include <vtkNew.h>
#include <vtkOpenGLRenderWindow.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkRenderWindow.h>
#include <vtkTransformPolyDataFilter.h>
#include <vtkTriangle.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef SELVANE_MAKE_MODEL
#define SELVANE_MAKE_MODEL "selvane-make-model"
#endif

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace selvane;

namespace {

constexpr double MiB = 1024.0; // /proc and getrusage count in KiB
constexpr double MemoryTarget = 3.0;

double Seconds(Clock::time_point since, Clock::time_point until = Clock::now()) {
  return std::chrono::duration<double>(until - since).count();
}

// VmRSS and VmHWM of this process, in KiB.
struct Memory {
  long Rss = 0, Hwm = 0;
};

Memory ReadMemory() {
  Memory m;
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = 0;
  std::string unit;
  while (status >> key) {
    if (key == "VmRSS:" && status >> value >> unit)
      m.Rss = value;
    else if (key == "VmHWM:" && status >> value >> unit)
      m.Hwm = value;
    else
      status.ignore(1 << 12, '\n');
  }
  return m;
}

// What malloc has handed out and not had back, in KiB: the memory held by this process's own
// objects and by the libraries it loaded, the GL driver among them.
long HeapInUse() {
  const struct mallinfo2 info = ::mallinfo2();
  return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

// What a child process hands back: "key value..." lines, read into a map of the first word.
class Results {
public:
  explicit Results(const std::string& path) : Out(path) {}
  template <typename... T> void Put(const std::string& key, const T&... values) {
    std::ostringstream line;
    line << key;
    ((line << ' ' << values), ...);
    std::string text = line.str();
    std::replace(text.begin(), text.end(), '\n', ' '); // one line per entry
    Out << text << '\n';
    Out.flush();
  }
  // Time and memory after one step of a sequence.
  void Step(const std::string& name, double seconds) {
    const Memory m = ReadMemory();
    Put("step", name, seconds, m.Rss, m.Hwm);
  }

private:
  std::ofstream Out;
};

struct StepFigures {
  std::string Name;
  double Seconds = 0;
  long Rss = 0, Hwm = 0;
};

struct ChildFigures {
  // Every line of a key, each as its words after the key.
  std::map<std::string, std::vector<std::vector<std::string>>> Lines;
  std::vector<StepFigures> Steps;
  long MaxRss = 0; // getrusage of the finished child, KiB
  bool Ok = false;

  std::string Get(const std::string& key) const {
    auto found = Lines.find(key);
    if (found == Lines.end() || found->second.empty())
      return std::string();
    std::string text;
    for (const auto& word : found->second.front())
      text += (text.empty() ? "" : " ") + word;
    return text;
  }
  double Number(const std::string& key) const { return std::atof(Get(key).c_str()); }
  // The i-th word of every line of key.
  std::vector<double> Numbers(const std::string& key, std::size_t i = 0) const {
    std::vector<double> values;
    if (auto found = Lines.find(key); found != Lines.end())
      for (const auto& line : found->second)
        values.push_back(i < line.size() ? std::atof(line[i].c_str()) : 0.0);
    return values;
  }
  const StepFigures* Step(const std::string& name) const {
    for (const auto& s : Steps)
      if (s.Name == name)
        return &s;
    return nullptr;
  }
};

// Runs argv as a child process and waits for it; true when it exited with 0.
bool RunProcess(const std::vector<std::string>& args, long* maxRssKiB = nullptr) {
  std::vector<char*> argv;
  for (const auto& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0)
    return false;
  if (pid == 0) {
    ::execv(argv[0], argv.data());
    std::perror(argv[0]);
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid)
    return false;
  if (maxRssKiB)
    *maxRssKiB = usage.ru_maxrss;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// This program again in a child mode; its results file is read back.
ChildFigures RunChild(const std::string& mode, const std::vector<std::string>& args,
                      const fs::path& resultsFile) {
  std::vector<std::string> argv = {fs::read_symlink("/proc/self/exe").string(), "--child", mode,
                                   resultsFile.string()};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildFigures figures;
  figures.Ok = RunProcess(argv, &figures.MaxRss);
  std::ifstream in(resultsFile);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "step") {
      StepFigures s;
      words >> s.Name >> s.Seconds >> s.Rss >> s.Hwm;
      figures.Steps.push_back(s);
      continue;
    }
    std::vector<std::string> values;
    for (std::string w; words >> w;)
      values.push_back(w);
    figures.Lines[key].push_back(values);
  }
  fs::remove(resultsFile);
  if (figures.Lines.count("error"))
    figures.Ok = false;
  return figures;
}

// ---------------------------------------------------------------------------------------------
// Child: the bare read.

int ChildBaseline(Results& results, const std::string& model) {
  const auto start = Clock::now();
  vtkNew<vtkPolyDataReader> reader;
  reader->SetFileName(model.c_str());
  reader->Update();
  const double seconds = Seconds(start);
  vtkPolyData* data = reader->GetOutput();
  results.Step("bare-read", seconds);
  results.Put("points", data->GetNumberOfPoints());
  results.Put("triangles", data->GetNumberOfPolys());
  results.Put("model-kib", data->GetActualMemorySize());
  return data->GetNumberOfPolys() > 0 ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// Child: the point pairs, from a bare read of the model.

// A small, smooth displacement: about 1% of the torus's tube radius, varying over lengths much
// larger than the spacing of the pairs, so the spline is well conditioned.
formats::Point3 Displaced(const double p[3]) {
  const double a = 0.01;
  return {p[0] + a * std::sin(1.3 * p[1] + 0.7 * p[2]),
          p[1] + a * std::sin(1.1 * p[2] + 0.9 * p[0]),
          p[2] + a * std::sin(0.8 * p[0] + 1.2 * p[1])};
}

int ChildPairs(Results& results, const std::string& model, const std::string& pairsFile,
               long around, long across, int wanted, double radius) {
  vtkNew<vtkPolyDataReader> reader;
  reader->SetFileName(model.c_str());
  reader->Update();
  vtkPolyData* data = reader->GetOutput();
  vtkPoints* points = data->GetPoints();
  if (!points || points->GetNumberOfPoints() != static_cast<vtkIdType>(around) * across) {
    results.Put("error", "the model is not a torus of", around, "x", across, "points");
    return 1;
  }
  // An even grid over the torus's two angles, with more pairs around the ring than across the
  // tube, as the ring is the longer way round: neighbouring pairs are 0.1 to 0.2 apart.
  const long rows = std::max(1L, std::lround(std::sqrt(wanted / 1.5625)));
  const long columns = std::max(1L, wanted / rows);
  formats::Entries ids;
  std::vector<formats::Point3> targets;
  for (long i = 0; i < columns; ++i)
    for (long j = 0; j < rows; ++j) {
      const vtkIdType id = (i * around / columns) * across + (j * across / rows);
      double p[3];
      points->GetPoint(id, p);
      ids.push_back(id);
      targets.push_back(Displaced(p));
    }

  if (!(radius > 0)) {
    // About 15 sources within the radius of each: enough overlap for a smooth field, a sparse
    // system all the same.
    double area = 0;
    vtkCellArray* polys = data->GetPolys();
    vtkIdType count = 0;
    const vtkIdType* cell = nullptr;
    double a[3], b[3], c[3];
    for (polys->InitTraversal(); polys->GetNextCell(count, cell);)
      if (count == 3) {
        points->GetPoint(cell[0], a);
        points->GetPoint(cell[1], b);
        points->GetPoint(cell[2], c);
        area += vtkTriangle::TriangleArea(a, b, c);
      }
    radius = std::sqrt(15.0 * area / (M_PI * static_cast<double>(ids.size())));
    results.Put("area", area);
  }

  std::string text;
  if (!formats::FormatPointTransformationsFile(text, ids, targets, points)) {
    results.Put("error", "cannot write the pairs:", "a selected point is not in the model");
    return 1;
  }
  if (const Result written = formats::WriteFileAtomically(pairsFile, text); !written) {
    results.Put("error", "cannot write the pairs:", written.Reason);
    return 1;
  }
  results.Put("pairs", ids.size());
  results.Put("radius", radius);
  results.Put("pairs-bytes", text.size());
  return 0;
}

// ---------------------------------------------------------------------------------------------
// Child: the Selvane flow.

// The tests' window system, whose presented frame is finished drawing as on a screen: the
// frame times then include the rasterisation, not only its submission.
class FinishingWindowing : public FakeWindowing {
public:
  using FakeWindowing::FakeWindowing;
  void PresentFrame() override {
    FakeWindowing::PresentFrame();
    ViewRenderWindow()->WaitForCompletion();
    Presented.push_back(Clock::now());
    PresentedRss.push_back(ReadMemory().Rss);
    PresentedHeap.push_back(HeapInUse());
  }
  std::vector<Clock::time_point> Presented;
  std::vector<long> PresentedRss, PresentedHeap; // KiB
};

// When each render of the view began and ended.
struct RenderClock {
  std::vector<Clock::time_point> Starts, Ends;
  double Drawing(std::size_t first) const {
    double sum = 0;
    for (std::size_t k = first; k < Ends.size(); ++k)
      sum += Seconds(Starts[k], Ends[k]);
    return sum;
  }
};

// The GL renderer that draws the view, as the driver names it ("llvmpipe (LLVM 15.0.6, 256
// bits)" for Mesa's software rasterizer).
std::string RendererName(vtkRenderWindow* window) {
  auto* gl = vtkOpenGLRenderWindow::SafeDownCast(window);
  const char* report = gl ? gl->ReportCapabilities() : nullptr;
  std::istringstream lines(report ? report : "");
  const std::string key = "OpenGL renderer string:";
  for (std::string line; std::getline(lines, line);)
    if (line.compare(0, key.size(), key) == 0)
      return line.substr(line.find_first_not_of(' ', key.size()));
  return "unknown";
}

int ChildFlow(Results& results, const std::string& model, const std::string& pairsFile,
              const std::string& savedFile, float radius, int frames, int cycles, int width,
              int height) {
  results.Step("start", 0);
  FinishingWindowing windowing(width, height);
  MainDialog dialog(windowing);
  auto start = Clock::now();
  dialog.InitializeView();
  results.Step("view-set-up", Seconds(start));
  results.Put("renderer", RendererName(dialog.RenderWindow));

  RenderClock renders;
  vtkNew<vtkCallbackCommand> onStart, onEnd;
  onStart->SetClientData(&renders);
  onStart->SetCallback([](vtkObject*, unsigned long, void* clock, void*) {
    static_cast<RenderClock*>(clock)->Starts.push_back(Clock::now());
  });
  onEnd->SetClientData(&renders);
  onEnd->SetCallback([](vtkObject*, unsigned long, void* clock, void*) {
    static_cast<RenderClock*>(clock)->Ends.push_back(Clock::now());
  });
  dialog.RenderWindow->AddObserver(vtkCommand::StartEvent, onStart);
  dialog.RenderWindow->AddObserver(vtkCommand::EndEvent, onEnd);

  // Open Model, with its first drawing finished.
  start = Clock::now();
  const bool opened = dialog.OpenModelFile(model);
  dialog.RenderWindow->WaitForCompletion();
  const double open = Seconds(start);
  results.Put("open-drawing", renders.Drawing(0));
  results.Step("open-model", open);
  if (!opened || !windowing.Messages.empty()) {
    results.Put("error", "Open Model refused the model:",
                windowing.Messages.empty() ? "" : windowing.Messages.front());
    return 1;
  }
  results.Put("open-triangles", dialog.Model()->GetNumberOfPolys());

  // Transform: the command reads the pairs, fits, then renders frames * cycles - 1 frames.
  const std::size_t before = renders.Starts.size();
  dialog.MakeTransformBox.SupportRadius = radius;
  dialog.MakeTransformBox.FrameCount = frames;
  dialog.MakeTransformBox.CycleCount = cycles;
  windowing.QueueFileAnswer(pairsFile);
  start = Clock::now();
  RunTransform(dialog);
  const auto transformEnd = Clock::now();
  dialog.RenderWindow->RemoveObserver(onStart);
  dialog.RenderWindow->RemoveObserver(onEnd);
  const std::size_t shown = windowing.Presented.size();
  if (!windowing.Messages.empty() || renders.Starts.size() - before != shown ||
      static_cast<long long>(shown) != std::max(0LL, static_cast<long long>(frames) * cycles - 1)) {
    results.Put("error", "Transform failed:",
                windowing.Messages.empty() ? "wrong number of frames" : windowing.Messages.front());
    return 1;
  }
  results.Put("fit", Seconds(start, shown ? renders.Starts[before] : transformEnd));
  // A frame: from the start of its render until it is finished on the screen.
  for (std::size_t k = 0; k < shown; ++k)
    results.Put("frame", Seconds(renders.Starts[before + k], windowing.Presented[k]),
                windowing.PresentedRss[k], windowing.PresentedHeap[k]);
  results.Put("fraction", dialog.ShapeTransform->GetFraction());
  results.Put("cache-fills", dialog.ShapeTransform->GetCacheFills());
  results.Step("transform", Seconds(start, transformEnd));

  // Not part of the flow: the view drawn again with nothing changed, which is the drawing alone;
  // a frame's remainder is the deformation and the upload of the moved points.
  start = Clock::now();
  dialog.Render();
  dialog.RenderWindow->WaitForCompletion();
  results.Step("redraw", Seconds(start));

  // Save Model As: the model as shown, deformed to the last frame.
  windowing.QueueFileAnswer(savedFile);
  start = Clock::now();
  OnSaveModelAs(dialog);
  results.Step("save-model-as", Seconds(start));
  if (!windowing.Messages.empty()) {
    results.Put("error", "Save Model As failed:", windowing.Messages.front());
    return 1;
  }

  // That the view and the saved file hold the deformed model: the largest move of a point.
  vtkPoints* read = dialog.Model()->GetPoints();
  vtkPoints* drawn = dialog.TransformFilter->GetOutput()->GetPoints();
  double largest = 0;
  for (vtkIdType i = 0; i < read->GetNumberOfPoints(); ++i) {
    double a[3], b[3];
    read->GetPoint(i, a);
    drawn->GetPoint(i, b);
    largest = std::max(largest, std::sqrt(vtkMath::Distance2BetweenPoints(a, b)));
  }
  results.Put("largest-move", largest);
  vtkPolyData* asRead = dialog.Model();
  results.Put("model-kib", asRead->GetActualMemorySize());
  results.Put("points-kib", read->GetActualMemorySize());
  results.Put("polys-kib", asRead->GetPolys()->GetActualMemorySize());
  results.Put("links-kib", asRead->GetActualMemorySize() - read->GetActualMemorySize() -
                               asRead->GetPolys()->GetActualMemorySize() -
                               asRead->GetCellData()->GetActualMemorySize());
  results.Put("drawn-points-kib", drawn->GetActualMemorySize());
  results.Put("cache-kib", dialog.ShapeTransform->GetNumberOfDisplacements() * 3 * 4 / 1024);
  return 0;
}

int ChildMain(int argc, char** argv) {
  // --child MODE RESULTS ARGS...
  if (argc < 5)
    return 2;
  const std::string mode = argv[2];
  Results results(argv[3]);
  const std::string model = argv[4];
  if (mode == "baseline")
    return ChildBaseline(results, model);
  if (mode == "pairs" && argc == 10)
    return ChildPairs(results, model, argv[5], std::atol(argv[6]), std::atol(argv[7]),
                      std::atoi(argv[8]), std::atof(argv[9]));
  if (mode == "flow" && argc == 12)
    return ChildFlow(results, model, argv[5], argv[6], static_cast<float>(std::atof(argv[7])),
                     std::atoi(argv[8]), std::atoi(argv[9]), std::atoi(argv[10]),
                     std::atoi(argv[11]));
  results.Put("error", "bad child arguments");
  return 2;
}

// ---------------------------------------------------------------------------------------------
// Parent: prepares the files, runs the children, prints the table.

struct Options {
  std::string Model;
  long Around = 5000, Across = 1000;
  int Pairs = 10000;
  double Radius = 0; // 0: from the model's area
  // The Make Transform box's own defaults; --frames 2 --cycles 1 draws a single frame.
  int Frames = MakeTransformDialog{}.FrameCount, Cycles = MakeTransformDialog{}.CycleCount;
  int Width = 800, Height = 600;
};

bool ParseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool value = i + 1 < argc;
    if (arg == "--model" && value)
      o.Model = argv[++i];
    else if (arg == "--around" && value)
      o.Around = std::atol(argv[++i]);
    else if (arg == "--across" && value)
      o.Across = std::atol(argv[++i]);
    else if (arg == "--pairs" && value)
      o.Pairs = std::atoi(argv[++i]);
    else if (arg == "--radius" && value)
      o.Radius = std::atof(argv[++i]);
    else if (arg == "--frames" && value)
      o.Frames = std::atoi(argv[++i]);
    else if (arg == "--cycles" && value)
      o.Cycles = std::atoi(argv[++i]);
    else if (arg == "--size" && i + 2 < argc) {
      o.Width = std::atoi(argv[++i]);
      o.Height = std::atoi(argv[++i]);
    } else
      return false;
  }
  return o.Around >= 3 && o.Across >= 3 && o.Pairs >= 1 && o.Width > 0 && o.Height > 0 &&
         CheckTransformValues(1.0f, o.Frames, o.Cycles).empty();
}

// The first lines of a legacy VTK file: its version line and its ASCII/BINARY line.
std::string FileKind(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string version, title, kind;
  std::getline(in, version);
  std::getline(in, title);
  std::getline(in, kind);
  const auto at = version.find("Version ");
  return kind + ", legacy VTK " + (at == std::string::npos ? "?" : version.substr(at + 8));
}

std::string Mb(double kib) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f MiB", kib / MiB);
  return text;
}

void Row(const std::string& what, double seconds, const std::string& rss = "",
         const std::string& hwm = "") {
  std::printf("  %-52s %9.2f s %12s %12s\n", what.c_str(), seconds, rss.c_str(), hwm.c_str());
}

int Fail(const char* what, const ChildFigures& c) {
  std::fprintf(stderr, "bench_large_model: %s failed: %s\n", what,
               c.Lines.count("error") ? c.Get("error").c_str() : "the process did not finish");
  return 1;
}

struct FlowRun {
  ChildFigures Figures;
  double SavedMiB = 0;
  std::string SavedKind;
  double HeapGrowth = 0; // KiB, heap in use after the last frame against after the first
  bool Ok = false;
};

// One run of the flow in a child process, with the checks that it did what it reports.
FlowRun RunFlow(const std::vector<std::string>& args, const fs::path& work,
                const ChildFigures& baseline) {
  FlowRun run;
  const fs::path saved = args[2];
  run.Figures = RunChild("flow", args, work / "flow.txt");
  const ChildFigures& flow = run.Figures;
  if (!flow.Ok) {
    Fail("the Selvane flow", flow);
    return run;
  }
  if (flow.Number("open-triangles") != baseline.Number("triangles")) {
    std::fprintf(stderr, "bench_large_model: Open Model shows %s triangles, the bare read %s\n",
                 flow.Get("open-triangles").c_str(), baseline.Get("triangles").c_str());
    return run;
  }
  if (!fs::is_regular_file(saved) || fs::file_size(saved) == 0) {
    std::fprintf(stderr, "bench_large_model: Save Model As left no file at %s\n", saved.c_str());
    return run;
  }
  if (!(flow.Number("largest-move") > 0)) {
    std::fprintf(stderr, "bench_large_model: the view shows the model undeformed\n");
    return run;
  }
  run.SavedMiB = static_cast<double>(fs::file_size(saved)) / (1 << 20);
  run.SavedKind = FileKind(saved);
  fs::remove(saved);
  const std::vector<double> heap = flow.Numbers("frame", 2);
  if (heap.size() > 1)
    run.HeapGrowth = heap.back() - heap.front();
  run.Ok = true;
  return run;
}

// The table of one flow run; returns its peak against the bare read's.
double PrintFlow(const FlowRun& run, const StepFigures& bare, const Options& o,
                 const std::string& title) {
  const ChildFigures& flow = run.Figures;
  std::printf("  %s, %dx%d off-screen view\n", title.c_str(), o.Width, o.Height);
  const auto stepRow = [&](const char* name, const std::string& label) {
    if (const StepFigures* s = flow.Step(name))
      Row(label, s->Seconds, Mb(s->Rss), Mb(s->Hwm));
  };
  stepRow("start", "process start");
  stepRow("view-set-up", "view set-up (empty view drawn)");
  stepRow("open-model", "Open Model (OpenModelFile, first drawing)");
  Row("  of which the first drawing", flow.Number("open-drawing"));
  const std::vector<double> frames = flow.Numbers("frame");
  Row("  Transform: read pairs + fit", flow.Number("fit"));
  if (!frames.empty())
    Row("  Transform: frame 1 (field evaluated, drawn)", frames.front());
  if (frames.size() > 1) {
    double sum = 0;
    for (std::size_t k = 1; k < frames.size(); ++k)
      sum += frames[k];
    Row("  Transform: frames 2.." + std::to_string(frames.size()) + ", mean per frame",
        sum / static_cast<double>(frames.size() - 1));
  }
  stepRow("transform", "Transform (" + std::to_string(o.Frames) + " frames x " +
                           std::to_string(o.Cycles) + " cycles: " + std::to_string(frames.size()) +
                           " drawn)");
  stepRow("redraw", "(redraw with nothing changed, not in the flow)");
  stepRow("save-model-as", "Save Model As");
  double flowSeconds = 0;
  for (const auto& s : flow.Steps)
    if (s.Name != "view-set-up" && s.Name != "redraw")
      flowSeconds += s.Seconds;
  Row("flow: Open Model + Transform + Save Model As", flowSeconds);

  const double baselinePeak = static_cast<double>(bare.Hwm);
  const double flowPeak = static_cast<double>(flow.Steps.back().Hwm);
  const double ratio = flowPeak / baselinePeak;
  std::printf(
      "\n  peak memory (VmHWM): baseline %s, flow %s (getrusage ru_maxrss of the flow: %s)\n",
      Mb(baselinePeak).c_str(), Mb(flowPeak).c_str(), Mb(static_cast<double>(flow.MaxRss)).c_str());
  std::printf("  flow peak / baseline peak: %.2fx (target <= %.0fx)%s\n", ratio, MemoryTarget,
              ratio <= MemoryTarget ? "" : "   OVER");
  std::printf("  held at the end of the flow: model as read %s (of which points %s, polygons %s, "
              "point-to-cell links and cell map %s); drawn points %s; displacement cache %s\n",
              Mb(flow.Number("model-kib")).c_str(), Mb(flow.Number("points-kib")).c_str(),
              Mb(flow.Number("polys-kib")).c_str(), Mb(flow.Number("links-kib")).c_str(),
              Mb(flow.Number("drawn-points-kib")).c_str(), Mb(flow.Number("cache-kib")).c_str());
  std::printf("  Transform: %zu frames drawn, left at fraction %s, field evaluated %s time(s); "
              "largest move of a drawn point %s\n",
              frames.size(), flow.Get("fraction").c_str(), flow.Get("cache-fills").c_str(),
              flow.Get("largest-move").c_str());
  const std::vector<double> frameRss = flow.Numbers("frame", 1);
  const std::vector<double> frameHeap = flow.Numbers("frame", 2);
  if (frameRss.size() > 1)
    std::printf("  after frame 1: VmRSS %s, heap in use %s; after frame %zu: %s, %s "
                "(%+.1f MiB of VmRSS per frame)\n",
                Mb(frameRss.front()).c_str(), Mb(frameHeap.front()).c_str(), frameRss.size(),
                Mb(frameRss.back()).c_str(), Mb(frameHeap.back()).c_str(),
                (frameRss.back() - frameRss.front()) / MiB /
                    static_cast<double>(frameRss.size() - 1));
  std::printf("  Save Model As wrote %.1f MiB, %s\n\n", run.SavedMiB, run.SavedKind.c_str());
  return ratio;
}

int ParentMain(const Options& o) {
  const fs::path work = fs::temp_directory_path() / ("selvane-large-" + std::to_string(::getpid()));
  fs::create_directories(work);
  // The pairs, the saved model and a generated model are hundreds of MB: never left behind.
  struct RemoveAtEnd {
    fs::path Folder;
    ~RemoveAtEnd() {
      std::error_code ignored;
      fs::remove_all(Folder, ignored);
    }
  } cleanup{work};

  const fs::path model = o.Model.empty() ? work / "torus-binary.vtk" : fs::path(o.Model);
  std::printf("load average at start: %s (other work on this machine makes the times noisy)\n",
              LoadAverage().c_str());
  if (!fs::exists(model)) {
    const auto start = Clock::now();
    if (!RunProcess({SELVANE_MAKE_MODEL, "--around", std::to_string(o.Around), "--across",
                     std::to_string(o.Across), "--binary", "-o", model.string()})) {
      std::fprintf(stderr, "bench_large_model: cannot make %s\n", model.c_str());
      return 1;
    }
    std::printf("made %s in %.1f s\n", model.c_str(), Seconds(start));
  }
  std::printf("model file: %s, %.1f MiB, %s\n", model.c_str(),
              static_cast<double>(fs::file_size(model)) / (1 << 20), FileKind(model).c_str());

  const fs::path pairsFile = work / "pairs.ptt";
  const ChildFigures pairs =
      RunChild("pairs",
               {model.string(), pairsFile.string(), std::to_string(o.Around),
                std::to_string(o.Across), std::to_string(o.Pairs), std::to_string(o.Radius)},
               work / "pairs.txt");
  if (!pairs.Ok)
    return Fail("writing the point pairs", pairs);
  const std::string radius = pairs.Get("radius");
  std::printf("pairs: %s model points moved smoothly by about 0.01 (torus 8 x 8 x 3.3), plus the "
              "8 bounding-box corners as Export writes them (%.0f KiB); radius of support %s\n",
              pairs.Get("pairs").c_str(), pairs.Number("pairs-bytes") / 1024, radius.c_str());

  const ChildFigures baseline = RunChild("baseline", {model.string()}, work / "baseline.txt");
  const StepFigures* bare = baseline.Step("bare-read");
  if (!baseline.Ok || !bare)
    return Fail("the bare read", baseline);

  // The flow as this environment draws. Under Mesa's software rasterizer with its worker threads
  // it runs once more with the rasterizer in the drawing thread, to tell the driver's own
  // memory from Selvane's.
  const std::vector<std::string> flowArgs = {model.string(),
                                             pairsFile.string(),
                                             (work / "saved.vtk").string(),
                                             radius,
                                             std::to_string(o.Frames),
                                             std::to_string(o.Cycles),
                                             std::to_string(o.Width),
                                             std::to_string(o.Height)};
  FlowRun asSet = RunFlow(flowArgs, work, baseline);
  if (!asSet.Ok)
    return 1;
  std::printf("model: %s points, %s triangles; view drawn by %s\n\n",
              baseline.Get("points").c_str(), baseline.Get("triangles").c_str(),
              asSet.Figures.Get("renderer").c_str());
  std::printf("  %-52s %11s %12s %12s\n", "step (each sequence in its own process)", "wall",
              "VmRSS after", "VmHWM so far");
  std::printf("  baseline\n");
  Row("bare vtkPolyDataReader read", bare->Seconds, Mb(bare->Rss), Mb(bare->Hwm));
  std::printf("  bare read holds %s\n", Mb(baseline.Number("model-kib")).c_str());
  const double ratio = PrintFlow(asSet, *bare, o, "Selvane flow");

  const bool threadedSoftware =
      asSet.Figures.Get("renderer").find("llvmpipe") != std::string::npos &&
      !std::getenv("LP_NUM_THREADS");
  if (threadedSoftware) {
    ::setenv("LP_NUM_THREADS", "0", 1);
    FlowRun synchronous = RunFlow(flowArgs, work, baseline);
    ::unsetenv("LP_NUM_THREADS");
    if (!synchronous.Ok)
      return 1;
    const double alone = PrintFlow(synchronous, *bare, o,
                                   "Selvane flow again, LP_NUM_THREADS=0 (llvmpipe rasterizes in "
                                   "the drawing thread)");
    std::printf("  With llvmpipe's worker threads the heap in use grew by %s over the frames, with "
                "LP_NUM_THREADS=0 by %s:\n  the same Selvane code ran both times, so the "
                "growth is the GL driver's.\n"
                "  Selvane's flow peaks at %.2fx the bare read without it (target <= %.0fx)%s, "
                "%.2fx with it.\n",
                Mb(asSet.HeapGrowth).c_str(), Mb(synchronous.HeapGrowth).c_str(), alone,
                MemoryTarget, alone <= MemoryTarget ? "" : "   OVER", ratio);
  }
  std::printf("load average at end: %s\n", LoadAverage().c_str());
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--child")
    return ChildMain(argc, argv);
  const char* usage = "usage: bench_large_model [--model FILE] [--around N] [--across M] "
                      "[--pairs P] [--radius R] [--frames F] [--cycles C] [--size W H]\n";
  if (argc > 1 && std::string(argv[1]) == "--help") {
    std::printf("%s", usage);
    return 0;
  }
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "%s", usage);
    return 2;
  }
  return ParentMain(options);
}
