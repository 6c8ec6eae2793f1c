// Scenario tests of the file commands on small models, driven through the command table with
// the scriptable window system: prompts, byte-exact exports, imports into the selection lists,
// round trips, failures that keep the old file, and the VTK exports read back.
#include "FileCommands.h"
#include "CommandTable.h"
#include "ControlIds.h"
#include "FakeWindowing.h"
#include "LegacyModelWriter.h"
#include "MainDialog.h"
#include "SelectionsShown.h"
#include "TestMeshes.h"

#include <gtest/gtest.h>

#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkDataArray.h>
#include <vtkIdList.h>
#include <vtkNew.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataReader.h>
#include <vtkTransform.h>
#include <vtkTransformPolyDataFilter.h>
#include <vtkXMLPolyDataReader.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace selvane;

namespace {

using Ids = std::vector<vtkIdType>;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

Ids ListOf(vtkIdList* list) {
  Ids ids;
  for (vtkIdType i = 0; i < list->GetNumberOfIds(); ++i)
    ids.push_back(list->GetId(i));
  return ids;
}

vtkIdType Withdrawn(vtkIdType id) {
  return -2 - id;
}

// Four points around the origin, none on a corner of their bounding box, and four triangles.
vtkSmartPointer<vtkPolyData> MakeTetrahedron() {
  vtkNew<vtkPoints> points;
  points->InsertNextPoint(1, 0, 0);
  points->InsertNextPoint(-1, 0.5, 0.25);
  points->InsertNextPoint(0, 1, 0.5);
  points->InsertNextPoint(0.25, -1, 1);
  vtkNew<vtkCellArray> polys;
  const vtkIdType faces[4][3] = {{0, 1, 2}, {0, 2, 3}, {0, 3, 1}, {1, 3, 2}};
  for (const auto& f : faces)
    polys->InsertNextCell(3, f);
  auto mesh = vtkSmartPointer<vtkPolyData>::New();
  mesh->SetPoints(points);
  mesh->SetPolys(polys);
  return mesh;
}

vtkSmartPointer<vtkPolyData> ReadModel(const std::string& path) {
  vtkNew<vtkPolyDataReader> reader;
  reader->SetFileName(path.c_str());
  reader->Update();
  return reader->GetOutput();
}

class FileCommandsTest : public ::testing::Test {
protected:
  FileCommandsTest() : Dialog(Windowing) {
    Dialog.InitializeView();
    AddFileCommands(Table);
  }

  // Opens a model written with exact (double) coordinates.
  void Open(vtkPolyData* mesh) {
    const std::string path = Dir.File("model" + std::to_string(++Files) + ".vtk");
    const Result written = formats::WriteLegacyModel(mesh, path);
    ASSERT_TRUE(written.Ok()) << written.Reason;
    Windowing.QueueFileAnswer(path);
    Dialog.OpenModel();
    ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  }

  // Runs a command whose prompt answers with path.
  void Run(int command, const std::string& path) {
    Windowing.QueueFileAnswer(path);
    Table.at(command)(Dialog);
  }

  // Runs a command and returns what it wrote.
  std::string Export(int command) {
    const std::string path = Dir.File("export" + std::to_string(++Files));
    Run(command, path);
    EXPECT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
    return Slurp(path);
  }

  void Import(int command, const std::string& text) {
    const std::string path = Dir.File("import" + std::to_string(++Files));
    WriteTextFile(path, text);
    Run(command, path);
  }

  void ToggleCell(int cell) {
    Dialog.SetCurrentCell(cell, 0);
    Dialog.ToggleCurrentCell();
  }

  // Selects a point with the target typed into the fields, as a user does.
  void TogglePoint(int point, const char* tx = nullptr, const char* ty = nullptr,
                   const char* tz = nullptr) {
    Dialog.SetCurrentPoint(point);
    if (tx) {
      Windowing.FieldTexts[TargetXField] = tx;
      Windowing.FieldTexts[TargetYField] = ty;
      Windowing.FieldTexts[TargetZField] = tz;
    }
    Dialog.ToggleCurrentPoint();
  }

  SelectionsShown Shown() const { return SelectionsShown::Of(Dialog, Windowing); }

  std::array<float, 3> TargetOf(vtkIdType index) {
    const float* target = Dialog.SelectedPoints().Markers()[index].Target;
    return {target[0], target[1], target[2]};
  }

  TempDir Dir;
  FakeWindowing Windowing;
  MainDialog Dialog;
  CommandTable Table;
  int Files = 0;
};

const char* const BoxBounds = "# Model Bounds\n"
                              "-1.000000 0.000000 0.000000 -1.000000 0.000000 0.000000\n"
                              "2.000000 0.000000 0.000000 2.000000 0.000000 0.000000\n"
                              "-1.000000 1.000000 0.000000 -1.000000 1.000000 0.000000\n"
                              "2.000000 1.000000 0.000000 2.000000 1.000000 0.000000\n"
                              "-1.000000 0.000000 3.000000 -1.000000 0.000000 3.000000\n"
                              "2.000000 0.000000 3.000000 2.000000 0.000000 3.000000\n"
                              "-1.000000 1.000000 3.000000 -1.000000 1.000000 3.000000\n"
                              "2.000000 1.000000 3.000000 2.000000 1.000000 3.000000\n"
                              "# End model Bounds\n";

} // namespace

TEST_F(FileCommandsTest, EachCommandPromptsOnceForItsOwnKindAndCancelling) {
  Open(MakeBoxModel(0, 0, 0, 1, 1, 1, false));
  ToggleCell(3);
  for (const auto& [command, handler] : Table) {
    SCOPED_TRACE(command);
    Windowing.Prompts.clear();
    Windowing.QueueFileAnswer(std::nullopt); // the user cancels
    handler(Dialog);
    ASSERT_EQ(Windowing.Prompts.size(), 1u);
    const FilePromptRequest& p = Windowing.Prompts[0];
    // The kind's own pattern first, then every file (Save Model As offers the other formats it
    // writes between the two); the name field starts with "*" and the kind's extension; a save
    // prompt asks before overwriting, an open prompt wants a file that exists.
    ASSERT_EQ(p.Filters.size(), command == CmdSaveModelAs ? 6u : 2u);
    std::string extension = p.Filters[0].Pattern.substr(1);
    for (char& c : extension)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(p.InitialName, "*" + extension);
    EXPECT_EQ(p.Flags, p.OpenMode ? 0x1006u : 0x0006u);
    EXPECT_EQ(p.Filters.back().Description, "All Files");
    EXPECT_EQ(p.Filters.back().Pattern, "*.*");
  }
  // Cancelling changed nothing and wrote nothing.
  EXPECT_EQ(ListOf(Dialog.SelectedCells().Ids()), (Ids{3}));
  EXPECT_TRUE(Windowing.Messages.empty());
  EXPECT_TRUE(std::filesystem::is_empty(Dir.Path()) ||
              std::distance(std::filesystem::directory_iterator(Dir.Path()),
                            std::filesystem::directory_iterator()) == 1);
}

TEST_F(FileCommandsTest, IdExportsAreByteExact) {
  Open(MakeBoxModel(-1, 0, 0, 2, 1, 3, false));
  EXPECT_EQ(Export(CmdExportCellIds), "# Cells IDs\n");
  EXPECT_EQ(Export(CmdExportPointIds), "# Points IDs\n");
  EXPECT_EQ(Export(CmdExportCellPointIds), "# Points IDs\n");

  ToggleCell(7);
  ToggleCell(11);
  ToggleCell(0);
  ToggleCell(11); // withdrawn in place
  EXPECT_EQ(Export(CmdExportCellIds), "# Cells IDs\n7\n# 11\n0\n");
  TogglePoint(6);
  TogglePoint(0);
  TogglePoint(6);
  EXPECT_EQ(Export(CmdExportPointIds), "# Points IDs\n# 6\n0\n");
}

TEST_F(FileCommandsTest, CellPointsInBothOrders) {
  // Cell 0 has the points (0, 2, 3), cell 1 the points (0, 3, 1).
  Open(MakeBoxModel(-1, 0, 0, 2, 1, 3, false));
  ToggleCell(0);
  ToggleCell(1);
  ToggleCell(1);
  EXPECT_EQ(Export(CmdExportCellPointIds), "# Points IDs\n0\n2\n3\n# 1\n");

  // The withdrawn cell first: its points 0 and 3 are promoted in place by cell 0.
  Open(MakeBoxModel(-1, 0, 0, 2, 1, 3, false));
  ToggleCell(1);
  ToggleCell(1);
  ToggleCell(0);
  EXPECT_EQ(ListOf(Dialog.SelectedCells().Ids()), (Ids{Withdrawn(1), 0}));
  EXPECT_EQ(Export(CmdExportCellPointIds), "# Points IDs\n0\n3\n# 1\n2\n");
}

TEST_F(FileCommandsTest, PointExportsAreByteExact) {
  Open(MakeBoxModel(-1, 0, 0, 2, 1, 3, false));
  EXPECT_EQ(Export(CmdExportPoints), "# Points\n");
  EXPECT_EQ(Export(CmdExportPointTransformations),
            std::string("# Points Transformations\n") + BoxBounds);

  TogglePoint(7, "2.5", "1", "3.25");
  TogglePoint(4);
  TogglePoint(4); // withdrawn: written as a comment
  TogglePoint(1, "-0.125", "0", "0");
  EXPECT_EQ(Export(CmdExportPoints), "# Points\n"
                                     "2.000000 1.000000 3.000000\n"
                                     "# -1.000000 0.000000 3.000000\n"
                                     "2.000000 0.000000 0.000000\n");
  EXPECT_EQ(Export(CmdExportPointTransformations),
            std::string("# Points Transformations\n") + BoxBounds +
                "2.000000 1.000000 3.000000 2.500000 1.000000 3.250000\n"
                "# -1.000000 0.000000 3.000000 -1.000000 0.000000 3.000000\n"
                "2.000000 0.000000 0.000000 -0.125000 0.000000 0.000000\n");
}

TEST_F(FileCommandsTest, TransformationsRoundTrip) {
  Open(MakeTetrahedron());
  TogglePoint(2, "0.5", "1.25", "-3");
  TogglePoint(0, "1.000001", "2", "3");
  TogglePoint(3);
  TogglePoint(3);
  TogglePoint(1, "-7", "0.333333", "0.25");
  const std::string ptt = Dir.File("round.ptt");
  Run(CmdExportPointTransformations, ptt);

  Dialog.ClearSelectedPoints();
  Run(CmdImportTransformations, ptt);
  EXPECT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  // The withdrawn point is not read back; the others come in their order with their targets.
  EXPECT_EQ(ListOf(Dialog.SelectedPoints().Ids()), (Ids{2, 0, 1}));
  using F3 = std::array<float, 3>;
  EXPECT_EQ(TargetOf(0), (F3{0.5f, 1.25f, -3.0f}));
  EXPECT_EQ(TargetOf(1), (F3{1.000001f, 2.0f, 3.0f}));
  EXPECT_EQ(TargetOf(2), (F3{-7.0f, 0.333333f, 0.25f}));
  EXPECT_EQ(Dialog.CurrentCell, 0);
  // Exporting again gives the same file without the withdrawn line.
  std::string expected = Slurp(ptt);
  const std::string withdrawnLine = "# 0.250000 -1.000000 1.000000 0.250000 -1.000000 1.000000\n";
  ASSERT_NE(expected.find(withdrawnLine), std::string::npos);
  expected.erase(expected.find(withdrawnLine), withdrawnLine.size());
  EXPECT_EQ(Export(CmdExportPointTransformations), expected);

  // The same file as points: each matched point takes its file position as target.
  Run(CmdImportPointsFromTransformations, ptt);
  EXPECT_EQ(ListOf(Dialog.SelectedPoints().Ids()), (Ids{2, 0, 1}));
  EXPECT_EQ(TargetOf(0), (F3{0, 1, 0.5f}));
  // The corner lines of the bounds block match no model point here; they are not reported.
  EXPECT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  // After the imports a user's selection takes the typed target again.
  TogglePoint(3, "9", "8", "7");
  EXPECT_EQ(TargetOf(3), (F3{9, 8, 7}));
}

TEST_F(FileCommandsTest, IdRoundTripsAndToggles) {
  Open(MakeBoxModel(-1, 0, 0, 2, 1, 3, false));
  ToggleCell(9);
  ToggleCell(2);
  ToggleCell(5);
  ToggleCell(2);
  EXPECT_TRUE(Dialog.HasUnsavedSelections());
  const std::string cid = Dir.File("cells.cid");
  Run(CmdExportCellIds, cid);
  EXPECT_FALSE(Dialog.HasUnsavedSelections()) << "exported";
  EXPECT_EQ(Windowing.Statuses.back(), "Exported 3 cell IDs to " + cid);
  Dialog.ClearSelectedCells();
  Run(CmdImportCellIds, cid);
  EXPECT_EQ(ListOf(Dialog.SelectedCells().Ids()), (Ids{9, 5}));
  EXPECT_EQ(Windowing.ListBoxes[SelectedCellsList], (std::vector<std::string>{"5", "9"}));
  EXPECT_EQ(Dialog.CurrentCell, 0);

  // An ID twice ends withdrawn, a third time restores it.
  Import(CmdImportCellIds, "# Cells IDs\n7\n 7 \nseven\n3\n");
  EXPECT_EQ(Windowing.Statuses.back().rfind("Imported 3 of 4 lines from ", 0), 0u)
      << Windowing.Statuses.back();
  Windowing.Messages.clear(); // the skipped line's report
  EXPECT_EQ(ListOf(Dialog.SelectedCells().Ids()), (Ids{Withdrawn(7), 3}));
  Import(CmdImportPointIds, "# Points IDs\n4\n1\n4 trailing\n4\n");
  EXPECT_EQ(ListOf(Dialog.SelectedPoints().Ids()), (Ids{4, 1}));
  EXPECT_FALSE(Dialog.HasUnsavedSelections()) << "the lists are what the files say";
  TogglePoint(2);
  EXPECT_TRUE(Dialog.HasUnsavedSelections());
  double p4[3];
  Dialog.ModelPoints->GetPoint(4, p4);
  EXPECT_EQ(TargetOf(0), (std::array<float, 3>{-1, 0, 3}));

  // Only the header: both imports clear their list.
  Import(CmdImportCellIds, "# Cells IDs\n");
  EXPECT_TRUE(ListOf(Dialog.SelectedCells().Ids()).empty());
  EXPECT_TRUE(Windowing.ListBoxes[SelectedCellsList].empty());
  Import(CmdImportPointIds, "# Points IDs");
  EXPECT_TRUE(ListOf(Dialog.SelectedPoints().Ids()).empty());
  EXPECT_EQ(Dialog.CurrentCell, 0);
  EXPECT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
}

TEST_F(FileCommandsTest, IdsOutsideTheModelAreSkippedWithOneMessage) {
  Open(MakeBoxModel(-1, 0, 0, 2, 1, 3, false)); // 12 cells, 8 points
  const std::string path = Dir.File("bad.cid");
  WriteTextFile(path, "# Cells IDs\n3\n12\n-1\nx5\n11\n2147483648\n");
  Run(CmdImportCellIds, path);
  EXPECT_EQ(ListOf(Dialog.SelectedCells().Ids()), (Ids{3, 11}));
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  EXPECT_EQ(Windowing.Messages[0], "In '" + path +
                                       "', 4 lines were skipped: 1 without a number (line 5), "
                                       "1 with a number out of range (line 7), 2 with an ID "
                                       "outside the model (lines 3, 4).");

  Windowing.Messages.clear();
  Import(CmdImportPointIds, "8\n7\n");
  EXPECT_EQ(ListOf(Dialog.SelectedPoints().Ids()), (Ids{7}));
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  EXPECT_NE(Windowing.Messages[0].find("1 with an ID outside the model (line 1)"),
            std::string::npos)
      << Windowing.Messages[0];
}

TEST_F(FileCommandsTest, PositionMatching) {
  // Point 3 coincides with point 1; point 0 is far from both.
  vtkNew<vtkPoints> points;
  points->InsertNextPoint(0, 0, 0);
  points->InsertNextPoint(1, 1, 1);
  points->InsertNextPoint(2, 0, 0);
  points->InsertNextPoint(1, 1, 1);
  vtkNew<vtkCellArray> polys;
  const vtkIdType a[3] = {0, 3, 2}, b[3] = {0, 1, 2};
  polys->InsertNextCell(3, a);
  polys->InsertNextCell(3, b);
  vtkNew<vtkPolyData> mesh;
  mesh->SetPoints(points);
  mesh->SetPolys(polys);
  Open(mesh);

  // Coincident points: the lowest index wins, whichever was exported.
  TogglePoint(3);
  const std::string pts = Dir.File("coincident.pts");
  Run(CmdExportPoints, pts);
  EXPECT_EQ(Slurp(pts), "# Points\n1.000000 1.000000 1.000000\n");
  Run(CmdImportPointsFromCoordinates, pts);
  EXPECT_EQ(ListOf(Dialog.SelectedPoints().Ids()), (Ids{1}));

  // Within the tolerance, and between points (nothing selected, one message).
  const std::string path = Dir.File("near.pts");
  WriteTextFile(path, "# Points\n2.0009 0 0\n0.5 0.5 0.5\n");
  Run(CmdImportPointsFromCoordinates, path);
  EXPECT_EQ(ListOf(Dialog.SelectedPoints().Ids()), (Ids{2}));
  EXPECT_EQ(TargetOf(0), (std::array<float, 3>{2.0009f, 0, 0})); // the file's position
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  EXPECT_EQ(Windowing.Messages[0],
            "In '" + path +
                "', 1 line was skipped: 1 with a position that matches no model "
                "point (line 3).");

  // A duplicate position selects the point, then withdraws it.
  Import(CmdImportPointsFromCoordinates, "0 0 0\n2 0 0\n0 0 0.0001\n");
  EXPECT_EQ(ListOf(Dialog.SelectedPoints().Ids()), (Ids{Withdrawn(0), 2}));
  EXPECT_EQ(Windowing.ListBoxes[SelectedPointsList], (std::vector<std::string>{"2"}));
}

TEST_F(FileCommandsTest, FailedExportsKeepTheOldFileAndSaySo) {
  Open(MakeBoxModel(-1, 0, 0, 2, 1, 3, false));
  TogglePoint(5);
  // A path that is a folder.
  const std::string folder = Dir.File("folder.pts");
  std::filesystem::create_directory(folder);
  Run(CmdExportPoints, folder);
  EXPECT_TRUE(Dialog.HasUnsavedSelections()) << "a failed export saves nothing";
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  EXPECT_EQ(Windowing.Messages[0].rfind("Cannot oper file for write!\n", 0), 0u);
  EXPECT_NE(Windowing.Messages[0].find(folder), std::string::npos) << Windowing.Messages[0];
  EXPECT_TRUE(std::filesystem::is_directory(folder));

  // A folder where no file can be made (even by root).
  Windowing.Messages.clear();
  Run(CmdExportCellIds, "/proc/selvane-test.cid");
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  EXPECT_EQ(Windowing.Messages[0].rfind("Cannot oper file for write!\n", 0), 0u);

  // A write that fails halfway, as on a full disk: the file-size limit stops it.
  Windowing.Messages.clear();
  const std::string ptt = Dir.File("old.ptt");
  WriteTextFile(ptt, "precious\n");
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 300; // the bounds block alone is longer
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  Run(CmdExportPointTransformations, ptt);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
  std::signal(SIGXFSZ, previous);
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  EXPECT_EQ(Windowing.Messages[0].rfind("Cannot oper file for write!\n", 0), 0u);
  EXPECT_NE(Windowing.Messages[0].find(std::strerror(EFBIG)), std::string::npos)
      << Windowing.Messages[0];
  EXPECT_EQ(Slurp(ptt), "precious\n");
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.Path()),
                          std::filesystem::directory_iterator()),
            3); // the model, the folder and the old file

  // A VTK export to a folder names the file and the reason.
  Windowing.Messages.clear();
  Run(CmdSaveModelAs, folder);
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  EXPECT_NE(Windowing.Messages[0].find(folder), std::string::npos) << Windowing.Messages[0];
  EXPECT_NE(Windowing.Messages[0].find("folder"), std::string::npos) << Windowing.Messages[0];
}

// Runs check() as a user without privileges: root writes into read-only folders, so as root
// it runs in a child process that has given up root first. Returns what check() returned.
int AsUnprivilegedUser(const std::function<int()>& check) {
  if (::geteuid() != 0)
    return check();
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0)
    return -1;
  if (child == 0) {
    const uid_t nobody = 65534;
    if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
      ::_exit(90);
    ::_exit(check());
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
    return -1;
  return WEXITSTATUS(status);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(FileCommandsTest, ExportsIntoAReadOnlyFolderOntoAFullDeviceOrThroughALinkLoseNothing) {
  Open(MakeBoxModel(-1, 0, 0, 2, 1, 3, false));
  TogglePoint(5, "1", "2", "3");
  ToggleCell(4);

  // A read-only folder holding the old file.
  const std::string folder = Dir.File("readonly");
  std::filesystem::create_directory(folder);
  const std::string old = folder + "/old.ptt";
  WriteTextFile(old, "precious\n");
  ASSERT_EQ(::chmod(Dir.Path().c_str(), 0755), 0); // the unprivileged user may look inside
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  for (int command : {CmdExportPointTransformations, CmdExportCellIds, CmdSaveModelAs}) {
    const int result = AsUnprivilegedUser([&] {
      Windowing.Messages.clear();
      Run(command, old);
      if (Windowing.Messages.size() != 1)
        return 1;
      const std::string& message = Windowing.Messages[0];
      const bool named = message.find(old) != std::string::npos;
      const bool said = message.rfind("Cannot oper file for write!\n", 0) == 0 ||
                        message.find(std::strerror(EACCES)) != std::string::npos;
      return named && said ? 0 : 2;
    });
    EXPECT_EQ(result, 0) << "command " << command;
    EXPECT_EQ(Slurp(old), "precious\n");
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"old.ptt"});
  }
  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);

  // A device that takes no data: refused, nothing left in its folder.
  const auto devBefore = FolderEntries("/dev");
  Windowing.Messages.clear();
  Run(CmdExportPoints, "/dev/full");
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  EXPECT_EQ(Windowing.Messages[0].rfind("Cannot oper file for write!\n", 0), 0u);
  EXPECT_EQ(FolderEntries("/dev"), devBefore);

  // A symbolic link: the file it names is replaced and the link stays a link.
  const std::string real = Dir.File("real.cid");
  const std::string link = Dir.File("link.cid");
  WriteTextFile(real, "old\n");
  ASSERT_EQ(::symlink("real.cid", link.c_str()), 0);
  Windowing.Messages.clear();
  Run(CmdExportCellIds, link);
  EXPECT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(Slurp(real), "# Cells IDs\n4\n");
}

TEST_F(FileCommandsTest, UnreadableImportChangesNothing) {
  Open(MakeBoxModel(-1, 0, 0, 2, 1, 3, false));
  ToggleCell(4);
  TogglePoint(2);
  const std::string missing = Dir.File("missing.cid");
  Run(CmdImportCellIds, missing);
  Run(CmdImportPointsFromCoordinates, Dir.Path());
  ASSERT_EQ(Windowing.Messages.size(), 2u);
  EXPECT_EQ(Windowing.Messages[0].rfind("Cannot oper file for reading!\n", 0), 0u);
  EXPECT_NE(Windowing.Messages[0].find(missing), std::string::npos) << Windowing.Messages[0];
  EXPECT_EQ(Windowing.Messages[1].rfind("Cannot oper file for reading!\n", 0), 0u);
  EXPECT_EQ(ListOf(Dialog.SelectedCells().Ids()), (Ids{4}));
  EXPECT_EQ(ListOf(Dialog.SelectedPoints().Ids()), (Ids{2}));
}

// ----------------------------------------------------------- Hostile files to import ----

TEST_F(FileCommandsTest, ImportsRefuseWhatCannotBeReadWholeAtOnceAndChangeNothing) {
  Open(MakeBoxModel(-1, 0, 0, 2, 1, 3, false));
  ToggleCell(4);
  TogglePoint(2);
  const std::string fifo = Dir.File("pipe.pts");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string socketPath = Dir.File("socket.cid");
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
  std::strcpy(address.sun_path, socketPath.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  std::vector<std::pair<std::string, std::string>> files = {
      {Dir.Path(), "it is a folder, not a file"},
      {fifo, "it is a pipe (FIFO), not a file"},
      {"/dev/zero", "it is a character device, not a file"},
      {"/dev/urandom", "it is a character device, not a file"},
      // open() itself refuses a socket; the message still says what it is.
      {socketPath, "it is a socket, not a file"}};
#if !defined(__SANITIZE_ADDRESS__) // the sanitizer ends the process where operator new throws
  // A sparse file far larger than memory.
  const std::string huge = Dir.File("huge.pts");
  WriteTextFile(huge, "");
  ASSERT_EQ(::truncate(huge.c_str(), off_t(1) << 43), 0);
  files.emplace_back(huge, "not enough memory to hold the file (8796093022208 bytes)");
#endif
  const int commands[] = {CmdImportCellIds, CmdImportPointIds, CmdImportPointsFromCoordinates,
                          CmdImportPointsFromTransformations, CmdImportTransformations};
  for (const auto& [path, reason] : files)
    for (int command : commands) {
      Windowing.Messages.clear();
      // A FIFO without a writer would block open() for ever, the devices never end: the
      // watchdog ends the test instead of letting it hang.
      ::alarm(20);
      Run(command, path);
      ::alarm(0);
      ASSERT_EQ(Windowing.Messages.size(), 1u) << path;
      EXPECT_EQ(Windowing.Messages[0],
                "Cannot oper file for reading!\nCannot read '" + path + "': " + reason);
    }
  ::close(sock);
  EXPECT_EQ(ListOf(Dialog.SelectedCells().Ids()), (Ids{4}));
  EXPECT_EQ(ListOf(Dialog.SelectedPoints().Ids()), (Ids{2}));
}

TEST_F(FileCommandsTest, AnOverlongLineRefusesTheWholeImport) {
  Open(MakeBoxModel(-1, 0, 0, 2, 1, 3, false));
  ToggleCell(4);
  TogglePoint(2);
  const std::string tooLong = std::string(1 << 20, ' ') + "1\n";
  const std::string cid = Dir.File("long.cid");
  WriteTextFile(cid, "# Cells IDs\n3\n" + tooLong + "5\n");
  Run(CmdImportCellIds, cid);
  const std::string ptt = Dir.File("long.ptt");
  WriteTextFile(ptt, "-1 0 0 -1 0 0\n" + tooLong);
  Run(CmdImportTransformations, ptt);
  ASSERT_EQ(Windowing.Messages.size(), 2u);
  EXPECT_EQ(Windowing.Messages[0], "Cannot oper file for reading!\nCannot read '" + cid +
                                       "': line 3 is longer than 1048576 bytes");
  EXPECT_EQ(Windowing.Messages[1], "Cannot oper file for reading!\nCannot read '" + ptt +
                                       "': line 2 is longer than 1048576 bytes");
  EXPECT_EQ(ListOf(Dialog.SelectedCells().Ids()), (Ids{4}));
  EXPECT_EQ(ListOf(Dialog.SelectedPoints().Ids()), (Ids{2}));
}

TEST_F(FileCommandsTest, AByteOrderMarkDoesNotCostTheFirstLine) {
  Open(MakeBoxModel(-1, 0, 0, 2, 1, 3, false));
  const std::string bom = "\xEF\xBB\xBF";
  Import(CmdImportCellIds, bom + "5\n7\n");
  EXPECT_EQ(ListOf(Dialog.SelectedCells().Ids()), (Ids{5, 7}));
  Import(CmdImportPointIds, bom + "6\n");
  EXPECT_EQ(ListOf(Dialog.SelectedPoints().Ids()), (Ids{6}));
  Import(CmdImportTransformations, bom + "2 1 3 4 5 6\n-1 0 0 -1 0 0\n");
  EXPECT_EQ(ListOf(Dialog.SelectedPoints().Ids()), (Ids{7, 0}));
  EXPECT_EQ(TargetOf(0), (std::array<float, 3>{4, 5, 6}));
  EXPECT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
}

TEST_F(FileCommandsTest, PositionsFarOutsideTheModelAreSkippedAndRealOnesStillMatch) {
  Open(MakeBoxModel(-1, 0, 0, 2, 1, 3, false));
  const std::string path = Dir.File("wild.pts");
  WriteTextFile(path, "# Points\n1e16 1e16 1e16\n2 1 3\n-1e30 -1e30 -1e30\n3e38 -3e38 3e38\n"
                      "-1 0 0\n2 1e16 3\n");
  Run(CmdImportPointsFromCoordinates, path);
  EXPECT_EQ(ListOf(Dialog.SelectedPoints().Ids()), (Ids{7, 0}));
  ASSERT_EQ(Windowing.Messages.size(), 1u);
  EXPECT_EQ(Windowing.Messages[0],
            "In '" + path +
                "', 4 lines were skipped: 4 with a position that matches no model point "
                "(lines 2, 4, 5, 7).");
}

TEST_F(FileCommandsTest, SaveModelAsReadsBackExactly) {
  auto mesh = MakeTetrahedron();
  mesh->GetPoints()->SetPoint(2, 1234.56787, -0.000123456, 98765.4321);
  Open(mesh);
  const std::string path = Dir.File("saved.vtk");
  Run(CmdSaveModelAs, path);
  EXPECT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  EXPECT_EQ(Slurp(path).rfind("# vtk DataFile Version 4.2\n", 0), 0u);
  auto back = ReadModel(path);
  vtkPolyData* model = Dialog.Model();
  ASSERT_EQ(back->GetNumberOfPoints(), model->GetNumberOfPoints());
  for (vtkIdType i = 0; i < model->GetNumberOfPoints(); ++i) {
    double a[3], b[3];
    model->GetPoint(i, a);
    back->GetPoint(i, b);
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(static_cast<float>(a[c]), static_cast<float>(b[c])) << i << " " << c;
  }
  EXPECT_EQ(back->GetNumberOfPolys(), 4);
  double p[3];
  back->GetPoint(2, p);
  EXPECT_EQ(static_cast<float>(p[0]), 1234.56787f);

  // The saved model matches positions exported from the original.
  TogglePoint(2);
  const std::string pts = Dir.File("p.pts");
  Run(CmdExportPoints, pts);
  Windowing.QueueFileAnswer(path);
  Dialog.OpenModel();
  Run(CmdImportPointsFromCoordinates, pts);
  EXPECT_EQ(ListOf(Dialog.SelectedPoints().Ids()), (Ids{2}));
  EXPECT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
}

TEST_F(FileCommandsTest, SaveModelAsWritesTheFormatItsExtensionNames) {
  Open(MakeBoxModel(-1, 0, 0, 2, 1, 3, true));
  const std::vector<std::string> patterns = {"*.VTK", "*.vtp", "*.stl", "*.ply", "*.obj", "*.*"};
  Windowing.Prompts.clear();
  Windowing.QueueFileAnswer(std::nullopt);
  Table.at(CmdSaveModelAs)(Dialog);
  ASSERT_EQ(Windowing.Prompts.size(), 1u);
  std::vector<std::string> offered;
  for (const FileFilter& filter : Windowing.Prompts[0].Filters)
    offered.push_back(filter.Pattern);
  EXPECT_EQ(offered, patterns);

  // VTP keeps the points exactly and the cell scalars the colours come from.
  const std::string vtp = Dir.File("saved.VTP");
  Run(CmdSaveModelAs, vtp);
  ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  vtkNew<vtkXMLPolyDataReader> reader;
  reader->SetFileName(vtp.c_str());
  reader->Update();
  vtkPolyData* back = reader->GetOutput();
  vtkPolyData* model = Dialog.Model();
  ASSERT_EQ(back->GetNumberOfPoints(), model->GetNumberOfPoints());
  for (vtkIdType i = 0; i < model->GetNumberOfPoints(); ++i)
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(back->GetPoint(i)[c], model->GetPoint(i)[c]) << i;
  ASSERT_NE(back->GetCellData()->GetScalars(), nullptr);
  EXPECT_EQ(back->GetCellData()->GetScalars()->GetTuple1(5), 1.0);

  // Binary STL: 12 triangles of 50 bytes after the 84-byte head.
  Run(CmdSaveModelAs, Dir.File("saved.stl"));
  ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  EXPECT_EQ(Slurp(Dir.File("saved.stl")).size(), 84u + 12u * 50u);

  // Any other name gets the legacy file, as before.
  Run(CmdSaveModelAs, Dir.File("saved.model"));
  EXPECT_EQ(Slurp(Dir.File("saved.model")).rfind("# vtk DataFile Version 4.2\n", 0), 0u);
}

TEST_F(FileCommandsTest, ExportCellsKeepsAllPointsAndTheSelectedCellsWithTheirTypes) {
  vtkNew<vtkPoints> points;
  for (int i = 0; i < 6; ++i)
    points->InsertNextPoint(i * 1.1, i % 2 * 0.7, 1234.56787 + i);
  const vtkIdType vert[1] = {5}, line[2] = {0, 1}, tri[3] = {0, 1, 2}, quad[4] = {1, 2, 3, 4};
  vtkNew<vtkCellArray> verts, lines, polys;
  verts->InsertNextCell(1, vert);
  lines->InsertNextCell(2, line);
  polys->InsertNextCell(3, tri);
  polys->InsertNextCell(4, quad);
  vtkNew<vtkPolyData> mesh;
  mesh->SetPoints(points);
  mesh->SetVerts(verts);
  mesh->SetLines(lines);
  mesh->SetPolys(polys);
  Open(mesh); // cells as read: 0 vertex, 1 line, 2 triangle, 3 quad

  const std::string empty = Dir.File("none.vtk");
  Run(CmdExportCellsVtk, empty);
  auto none = ReadModel(empty);
  EXPECT_EQ(none->GetNumberOfPoints(), 6);
  EXPECT_EQ(none->GetNumberOfCells(), 0);

  ToggleCell(3);
  ToggleCell(2);
  ToggleCell(1);
  ToggleCell(2); // withdrawn: not exported
  const std::string path = Dir.File("cells.vtk");
  Run(CmdExportCellsVtk, path);
  EXPECT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  EXPECT_EQ(Slurp(path).rfind("# vtk DataFile Version 4.2\n", 0), 0u);
  auto back = ReadModel(path);
  ASSERT_EQ(back->GetNumberOfPoints(), 6);
  for (vtkIdType i = 0; i < 6; ++i) {
    double a[3], b[3];
    Dialog.ModelPoints->GetPoint(i, a);
    back->GetPoint(i, b);
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(static_cast<float>(a[c]), static_cast<float>(b[c])) << i << " " << c;
  }
  // The legacy format stores lines before polygons.
  ASSERT_EQ(back->GetNumberOfCells(), 2);
  vtkNew<vtkIdList> ids;
  EXPECT_EQ(back->GetCellType(0), VTK_LINE);
  back->GetCellPoints(0, ids);
  EXPECT_EQ(ListOf(ids), (Ids{0, 1}));
  EXPECT_EQ(back->GetCellType(1), VTK_QUAD);
  back->GetCellPoints(1, ids);
  EXPECT_EQ(ListOf(ids), (Ids{1, 2, 3, 4}));
}

TEST_F(FileCommandsTest, ExportCellsWritesTheListOrderWhereTheDrawingPutsARestoredCellLast) {
  Open(MakeBoxModel(-1, 0, 0, 2, 1, 3, false)); // 12 triangles
  for (int cell : {4, 1, 9})
    ToggleCell(cell);
  ToggleCell(1); // withdrawn in its place ...
  ToggleCell(1); // ... and restored there
  ASSERT_EQ(ListOf(Dialog.SelectedCells().Ids()), (Ids{4, 1, 9}));
  ASSERT_EQ(Dialog.SelectedCells().CellsSource()->GetSelectedCells(), (Ids{4, 9, 1}));
  const std::string path = Dir.File("ordered.vtk");
  Run(CmdExportCellsVtk, path);
  EXPECT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  auto back = ReadModel(path);
  ASSERT_EQ(back->GetNumberOfPoints(), 8);
  ASSERT_EQ(back->GetNumberOfCells(), 3);
  vtkNew<vtkIdList> written, model;
  const Ids order = {4, 1, 9};
  for (vtkIdType i = 0; i < 3; ++i) {
    back->GetCellPoints(i, written);
    Dialog.Model()->GetCellPoints(order[static_cast<std::size_t>(i)], model);
    EXPECT_EQ(ListOf(written), ListOf(model)) << "cell " << i;
  }
  EXPECT_EQ(back->GetCellData()->GetNumberOfArrays(), 0);
}

TEST_F(FileCommandsTest, SaveModelAsWritesTheDisplayedShapeAndExportCellsTheModelAsRead) {
  Open(MakeTetrahedron());
  // A deformation in the model pipeline, as a Transform leaves it.
  vtkNew<vtkTransform> shift;
  shift->Translate(10, 0, -0.5);
  Dialog.TransformFilter->SetTransform(shift);
  const std::string saved = Dir.File("deformed.vtk");
  Run(CmdSaveModelAs, saved);
  ToggleCell(1);
  const std::string cells = Dir.File("cells.vtk");
  Run(CmdExportCellsVtk, cells);
  EXPECT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  auto deformed = ReadModel(saved);
  auto asRead = ReadModel(cells);
  ASSERT_EQ(deformed->GetNumberOfPoints(), 4);
  ASSERT_EQ(asRead->GetNumberOfPoints(), 4);
  for (vtkIdType i = 0; i < 4; ++i) {
    double model[3], d[3], r[3];
    Dialog.ModelPoints->GetPoint(i, model);
    deformed->GetPoint(i, d);
    asRead->GetPoint(i, r);
    EXPECT_EQ(d[0], model[0] + 10);
    EXPECT_EQ(d[2], model[2] - 0.5);
    EXPECT_EQ(r[0], model[0]);
    EXPECT_EQ(r[2], model[2]);
  }
  EXPECT_EQ(deformed->GetNumberOfPolys(), 4);
  EXPECT_EQ(asRead->GetNumberOfPolys(), 1);
}

// ------------------------------------------------------------------ Imports and undo ----

TEST_F(FileCommandsTest, EveryImportIsOneStepThatUndoAndRedoReturnExactly) {
  Open(MakeBoxModel(-1, 0, 0, 2, 1, 3, false));
  // The viewer's own steps are named as their menu commands are.
  ToggleCell(4);
  EXPECT_EQ(Dialog.UndoStepName(), CommandStepName(CmdSelectCell));
  TogglePoint(2, "1", "2", "3");
  TogglePoint(5);
  EXPECT_EQ(Dialog.UndoStepName(), CommandStepName(CmdSelectPoint));
  struct Case {
    int Command;
    const char* Text;
    const char* Step;
  };
  const Case cases[] = {
      {CmdImportCellIds, "# Cells IDs\n7\n3\n7\n9\n", "Import cells from IDs"},
      {CmdImportPointIds, "# Points IDs\n4\n1\n5\n", "Import points from IDs"},
      {CmdImportPointsFromCoordinates, "2 1 3\n-1 0 0\n", "Import points from point coordinates"},
      {CmdImportPointsFromTransformations, "2 1 3 4 5 6\n", "Import points from transformations"},
      {CmdImportTransformations, "2 1 3 4 5 6\n-1 0 0 -1 0 0\n2 1 3 7 7 7\n",
       "Import transformations from transformations"},
      {CmdImportCellIds, "# Cells IDs\n", "Import cells from IDs"}, // empties the list
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.Step);
    const SelectionsShown before = Shown();
    const std::size_t steps = Dialog.UndoHistory().UndoCount();
    Import(test.Command, test.Text);
    ASSERT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
    const SelectionsShown after = Shown();
    ASSERT_NE(after, before);
    EXPECT_EQ(Dialog.UndoHistory().UndoCount(), steps + 1);
    EXPECT_EQ(Dialog.UndoStepName(), test.Step);
    Dialog.Undo();
    EXPECT_EQ(Shown(), before);
    Dialog.Redo();
    EXPECT_EQ(Shown(), after);
  }
}

TEST_F(FileCommandsTest, AnImportThatReadsNothingLeavesBothListsAndSaysWhy) {
  Open(MakeBoxModel(-1, 0, 0, 2, 1, 3, false));
  ToggleCell(4);
  TogglePoint(2, "1", "2", "3");
  const SelectionsShown before = Shown();
  struct Case {
    int Command;
    const char* Text;
    const char* Cause;
  };
  const Case cases[] = {
      {CmdImportPointsFromCoordinates, "# Points\n2,1,3\n-1,0,0\n", "2 lines were skipped"},
      {CmdImportPointIds, "# Points IDs\n8\n-3\n", "with an ID outside the model"},
      {CmdImportCellIds, "12\nseven\n", "without a number"},
      {CmdImportTransformations, "0.5 0.5 0.5 1 1 1\n", "matches no model point"},
      {CmdImportPointsFromTransformations, "2;1;3;4;5;6\n", "1 line was skipped"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.Text);
    Windowing.Messages.clear();
    Import(test.Command, test.Text);
    EXPECT_EQ(Shown(), before);
    ASSERT_EQ(Windowing.Messages.size(), 1u);
    EXPECT_NE(Windowing.Messages[0].find(test.Cause), std::string::npos) << Windowing.Messages[0];
    EXPECT_NE(Windowing.Messages[0].find("were left as they were"), std::string::npos)
        << Windowing.Messages[0];
    EXPECT_EQ(Dialog.UndoStepName(), "Select point") << "no step for an import that did nothing";
  }

  // A file of comments alone is an empty list: it empties the selected points, undoably.
  Windowing.Messages.clear();
  Import(CmdImportPointIds, "# Points IDs\n# 2\n");
  EXPECT_TRUE(Windowing.Messages.empty()) << Windowing.Messages.front();
  EXPECT_EQ(Dialog.SelectedPoints().Size(), 0);
  Dialog.Undo();
  EXPECT_EQ(Shown(), before);
}
