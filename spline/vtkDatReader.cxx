#include "vtkDatReader.h"

#include "CorrespondenceLine.h"
#include "InputFile.h"
#include "SelvaneError.h"
#include "StageEvent.h"
#include "TextLines.h"

#include <vtkIdList.h>
#include <vtkObjectFactory.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <new>
#include <sstream>
#include <string_view>
#include <tuple>
#include <vector>

namespace selvane {

vtkObjectFactoryNewMacro(vtkDatReader);

namespace {
constexpr int Sentinel = 2147483647;

// Key of a source position: exact float values, with -0 counted as 0.
std::tuple<float, float, float> SourceKey(const float* v) {
  return std::make_tuple(v[0] + 0.0f, v[1] + 0.0f, v[2] + 0.0f);
}
} // namespace

vtkDatReader::vtkDatReader() {
  this->PointArray = vtkSmartPointer<vtkPoints>::New();
  this->PointArrayN = vtkSmartPointer<vtkPoints>::New();
  this->PointData = vtkSmartPointer<vtkPolyData>::New();
  this->Tree = vtkSmartPointer<vtkPointLocator>::New();
}

vtkDatReader::~vtkDatReader() {
  this->SetFileName(nullptr);
}

void vtkDatReader::PrintSelf(ostream& os, vtkIndent indent) {
  this->Superclass::PrintSelf(os, indent);
  os << indent << "FileName: " << (this->FileName ? this->FileName : "(none)") << "\n";
  os << indent << "Radius: " << this->Radius << "\n";
  os << indent << "Max: " << this->Max << "\n";
  os << indent << "Number of points: " << this->PointArray->GetNumberOfPoints() << "\n";
  os << indent << "MergedPairs: " << this->MergedPairs << "\n";
  os << indent << "List: " << this->List.GetPointer() << "\n";
  os << indent << "UnList: " << this->UnList.GetPointer() << "\n";
  os << indent << "BX: " << this->BX.GetPointer() << "\n";
  os << indent << "BY: " << this->BY.GetPointer() << "\n";
  os << indent << "BZ: " << this->BZ.GetPointer() << "\n";
  os << indent << "Tree: " << this->Tree.GetPointer() << "\n";
}

int vtkDatReader::Fail(int kind, const std::string& message) {
  this->ErrorKind = kind;
  this->ErrorMessage = message;
  return -1;
}

bool vtkDatReader::ReadPairs(std::vector<float>& pairs) {
  if (this->HasInputText)
    return this->ParsePairs(this->InputText, pairs);
  const char* name = this->FileName ? this->FileName : "";
  std::string text;
  const Result read = formats::ReadRegularFile(name, text);
  if (!this->FileName || read.Code == ErrorCode::CannotOpen) {
    std::printf("Cannot open %s!\n", name);
    std::fflush(stdout);
    this->Fail(CannotOpenFile, this->FileName ? read.Reason : "no file name given");
    return false;
  }
  if (!read.Ok()) {
    this->Fail(read.Code == ErrorCode::OutOfMemory ? NotEnoughMemory : UnreadableContent,
               read.Reason);
    return false;
  }
  return this->ParsePairs(text, pairs);
}

bool vtkDatReader::ParsePairs(const std::string& text, std::vector<float>& pairs) {
  formats::TextLines lines(text);
  std::string_view line;
  while (lines.Next(line)) {
    float v[6];
    if (!ParseCorrespondenceLine(line, v)) {
      continue;
    }
    for (float x : v) {
      if (!std::isfinite(x)) {
        this->Fail(UnreadableContent,
                   "line " + std::to_string(lines.LineNumber()) + ": a number is not finite");
        return false;
      }
    }
    pairs.insert(pairs.end(), v, v + 6);
  }
  if (lines.TooLongLine() > 0) {
    this->Fail(UnreadableContent, formats::DescribeTooLongLine(lines.TooLongLine()));
    return false;
  }
  return true;
}

int vtkDatReader::ReadDatFile() {
  this->ErrorMessage.clear();
  this->ErrorKind = NoError;

  // Accepted pairs of this file, in file order.
  std::vector<float> pairs;
  try {
    if (!this->ReadPairs(pairs)) {
      return -1;
    }
  } catch (const std::bad_alloc&) {
    return this->Fail(NotEnoughMemory, "not enough memory to read the file");
  }

  this->InvokeEvent(StageEvent, const_cast<char*>("Ordering"));
  // Merge pairs that share a source: the later line's target wins.
  std::map<std::tuple<float, float, float>, vtkIdType> known;
  for (vtkIdType id = 0; id < this->PointArray->GetNumberOfPoints(); ++id) {
    double p[3];
    this->PointArray->GetPoint(id, p);
    const float f[3] = {static_cast<float>(p[0]), static_cast<float>(p[1]),
                        static_cast<float>(p[2])};
    known.emplace(SourceKey(f), id);
  }
  int merged = 0;
  for (size_t k = 0; k < pairs.size(); k += 6) {
    const float* v = pairs.data() + k;
    auto found = known.find(SourceKey(v));
    if (found != known.end()) {
      this->PointArrayN->SetPoint(found->second, v[3], v[4], v[5]);
      ++merged;
      continue;
    }
    const vtkIdType id = this->PointArray->InsertNextPoint(v[0], v[1], v[2]);
    this->PointArrayN->InsertNextPoint(v[3], v[4], v[5]);
    known.emplace(SourceKey(v), id);
  }
  this->PointArray->Modified();
  this->PointArrayN->Modified();
  this->MergedPairs += merged;
  if (this->MergedPairs > 0) {
    std::ostringstream msg;
    msg << "warning: " << this->MergedPairs << " pair" << (this->MergedPairs == 1 ? "" : "s")
        << " repeated an earlier source; the later target was kept";
    this->WarningMessage = msg.str();
  }

  const int n = static_cast<int>(this->PointArray->GetNumberOfPoints());
  this->PointData->SetPoints(this->PointArray);
  this->Tree->SetDataSet(this->PointData);
  if (n > 0) {
    this->Tree->BuildLocator();
  }

  int max = 0;
  this->List = GetWellOderredList(max, n, this->Radius, this->PointArray, this->Tree);
  this->UnList = vtkSmartPointer<vtkIntArray>::New();
  this->UnList->SetNumberOfValues(n);
  for (int i = 0; i < n; ++i) {
    this->UnList->SetValue(this->List->GetValue(i), i);
  }
  this->Max = max;

  vtkSmartPointer<vtkFloatArray>* arrays[3] = {&this->BX, &this->BY, &this->BZ};
  for (auto* array : arrays) {
    *array = vtkSmartPointer<vtkFloatArray>::New();
    if (n > 0 && (*array)->SetNumberOfValues(n) == false) {
      vtkErrorMacro("Not enough memory");
      return this->Fail(NotEnoughMemory, "Not enough memory");
    }
  }
  for (int i = 0; i < n; ++i) {
    const vtkIdType id = this->List->GetValue(i);
    double s[3], t[3];
    this->PointArray->GetPoint(id, s);
    this->PointArrayN->GetPoint(id, t);
    // Differences of the single-precision coordinates, rounded to single precision.
    this->BX->SetValue(i, static_cast<float>(s[0]) - static_cast<float>(t[0]));
    this->BY->SetValue(i, static_cast<float>(s[1]) - static_cast<float>(t[1]));
    this->BZ->SetValue(i, static_cast<float>(s[2]) - static_cast<float>(t[2]));
  }
  return 0;
}

vtkSmartPointer<vtkIntArray> vtkDatReader::GetWellOderredList(int& max, int n, float radius,
                                                              vtkPoints* points,
                                                              vtkPointLocator* locator) {
  max = 0;
  auto result = vtkSmartPointer<vtkIntArray>::New();
  std::vector<int> position;
  try {
    if (n > 0 && !result->SetNumberOfValues(n)) {
      throw std::bad_alloc();
    }
    position.assign(n > 0 ? n : 0, Sentinel);
  } catch (const std::bad_alloc&) {
    throw SelvaneError("GetWellOderredList: Can not allocate result array!");
  }
  int* list = result->GetPointer(0);
  for (int k = 0; k < n; ++k) {
    list[k] = Sentinel;
  }
  int placed = 0;
  int head = 0;
  int lowestUnplaced = 0;
  auto ids = vtkSmartPointer<vtkIdList>::New();
  while (placed < n) {
    if (list[head] == Sentinel) {
      while (position[lowestUnplaced] != Sentinel) {
        ++lowestUnplaced;
      }
      list[head] = lowestUnplaced;
      position[lowestUnplaced] = head;
      ++placed;
    }
    double x[3];
    points->GetPoint(list[head], x);
    ids->Reset();
    locator->FindPointsWithinRadius(radius, x, ids);
    const vtkIdType found = ids->GetNumberOfIds();
    for (vtkIdType k = 0; k < found; ++k) {
      const int id = static_cast<int>(ids->GetId(k));
      if (position[id] == Sentinel) {
        if (placed - head > max) {
          max = placed - head;
        }
        list[placed] = id;
        position[id] = placed;
        ++placed;
      }
    }
    ++head;
  }
  return result;
}

} // namespace selvane
