#include "LegacyModelWriter.h"

#include "AtomicFile.h"

#include <vtkCallbackCommand.h>
#include <vtkCellArray.h>
#include <vtkCellData.h>
#include <vtkCommand.h>
#include <vtkDataArray.h>
#include <vtkDoubleArray.h>
#include <vtkErrorCode.h>
#include <vtkFieldData.h>
#include <vtkFloatArray.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPointData.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataWriter.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <locale>
#include <ostream>
#include <streambuf>
#include <unistd.h>
#include <vector>

namespace selvane::formats {

namespace {

// VTK's error text without its "ERROR: In file, line ... Class (address): " prefix.
std::string ShortVtkMessage(const char* message) {
  std::string text = message ? message : "";
  const auto marker = text.find("): ");
  if (marker != std::string::npos)
    text.erase(0, marker + 3);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  return text;
}

void KeepFirstError(vtkObject*, unsigned long, void* clientData, void* callData) {
  auto* reason = static_cast<std::string*>(clientData);
  if (reason->empty())
    *reason = ShortVtkMessage(static_cast<const char*>(callData));
}

// Writes to a file descriptor with checked writes; the first failure is kept in Error (an
// errno value) and makes every later write fail too, so the writer's stream goes bad at once.
// Finish() writes what is left and closes the file: a failure of that last write or of the
// close is caught here, where a plain file stream would lose it in its destructor.
class CheckedFileBuffer : public std::streambuf {
public:
  CheckedFileBuffer(int fd, int& error) : Fd(fd), Error(error), Buffer(1 << 20) {
    setp(Buffer.data(), Buffer.data() + Buffer.size());
  }
  ~CheckedFileBuffer() override { Finish(); }
  CheckedFileBuffer(const CheckedFileBuffer&) = delete;
  CheckedFileBuffer& operator=(const CheckedFileBuffer&) = delete;

  void Finish() {
    if (Fd < 0)
      return;
    Drain();
    if (::close(Fd) != 0 && Error == 0)
      Error = errno;
    Fd = -1;
  }

protected:
  int_type overflow(int_type c) override {
    if (!Drain())
      return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override { return Drain() ? 0 : -1; }

private:
  bool Drain() {
    const char* next = pbase();
    const char* end = pptr();
    while (Error == 0 && next < end) {
      const ssize_t n = ::write(Fd, next, static_cast<size_t>(end - next));
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        Error = n < 0 ? errno : EIO;
      else
        next += n;
    }
    setp(Buffer.data(), Buffer.data() + Buffer.size());
    return Error == 0;
  }

  int Fd;
  int& Error;
  std::vector<char> Buffer;
};

class CheckedFileStream : public std::ostream {
public:
  CheckedFileStream(int fd, int& error) : std::ostream(nullptr), Buffer(fd, error) {
    rdbuf(&Buffer);
    imbue(std::locale::classic());
  }
  ~CheckedFileStream() override { Buffer.Finish(); }

private:
  CheckedFileBuffer Buffer;
};

// Shortest decimal text that reads back as exactly v (locale-independent).
template <typename T> std::string_view ExactText(T v, char (&buffer)[32]) {
  const auto r = std::to_chars(buffer, buffer + sizeof(buffer), v);
  return std::string_view(buffer, static_cast<std::size_t>(r.ptr - buffer));
}

template <typename T> void WriteExactValues(ostream& out, const T* values, vtkIdType count) {
  char buffer[32];
  for (vtkIdType i = 0; i < count; ++i) {
    out << ExactText(values[i], buffer);
    // Nine values to a line, as VTK lays out its arrays.
    out << ((i + 1) % 9 == 0 ? '\n' : ' ');
  }
}

// The legacy writer with exact coordinates: VTK prints float points with six significant
// digits and double points with eleven; here each coordinate is written in the shortest form
// that reads back as the same float or double, in the point type of the model. Everything else
// (header, cells, point, cell and field data) is VTK's own. With a file name the file is written
// through a CheckedFileStream.
class vtkCheckedPolyDataWriter : public vtkPolyDataWriter {
public:
  static vtkCheckedPolyDataWriter* New();
  vtkTypeMacro(vtkCheckedPolyDataWriter, vtkPolyDataWriter);

  // The errno of the first failed write or close of the file; 0 when all went well.
  int GetFileError() const { return FileError; }

  ostream* OpenVTKFile() override {
    if (WriteToOutputString || !FileName)
      return Superclass::OpenVTKFile();
    const int fd = ::open(FileName, O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
      FileError = errno;
      SetErrorCode(vtkErrorCode::CannotOpenFileError);
      vtkErrorMacro("Unable to open file: " << FileName);
      return nullptr;
    }
    return new CheckedFileStream(fd, FileError);
  }

protected:
  vtkCheckedPolyDataWriter() = default;
  ~vtkCheckedPolyDataWriter() override = default;

  // vtkPolyDataWriter::WriteData with the points written exactly (ASCII only; RunLegacyWriter
  // never asks for BINARY).
  void WriteData() override {
    vtkPolyData* input = this->GetInput();
    ostream* fp = this->OpenVTKFile();
    if (!fp || !this->WriteHeader(fp)) {
      if (fp) {
        vtkErrorMacro("Could not write the header");
        this->CloseVTKFile(fp);
      }
      return;
    }
    *fp << "DATASET POLYDATA\n";
    bool ok = this->WriteDataSetData(fp, input) && this->WriteExactPoints(*fp, input->GetPoints());
    vtkCellArray* cells[4] = {input->GetVerts(), input->GetLines(), input->GetPolys(),
                              input->GetStrips()};
    const char* labels[4] = {"VERTICES", "LINES", "POLYGONS", "TRIANGLE_STRIPS"};
    for (int k = 0; k < 4 && ok; ++k)
      if (cells[k])
        ok = this->WriteCells(fp, cells[k], labels[k]) != 0;
    ok = ok && this->WriteCellData(fp, input) && this->WritePointData(fp, input);
    if (!ok || fp->fail()) {
      vtkErrorMacro("Error writing the model");
      if (this->GetErrorCode() == vtkErrorCode::NoError)
        this->SetErrorCode(vtkErrorCode::UnknownError);
    }
    this->CloseVTKFile(fp);
  }

private:
  vtkCheckedPolyDataWriter(const vtkCheckedPolyDataWriter&) = delete;
  void operator=(const vtkCheckedPolyDataWriter&) = delete;

  bool WriteExactPoints(ostream& out, vtkPoints* points) {
    char buffer[32];
    if (!points) {
      out << "POINTS 0 float\n";
      return true;
    }
    vtkSmartPointer<vtkDataArray> data = points->GetData();
    if (!vtkFloatArray::FastDownCast(data) && !vtkDoubleArray::FastDownCast(data)) {
      auto exact = vtkSmartPointer<vtkDoubleArray>::New();
      exact->DeepCopy(data); // integer types convert to double without loss
      data = exact;
    }
    const vtkIdType n = points->GetNumberOfPoints();
    out << "POINTS " << ExactText(static_cast<long long>(n), buffer);
    if (auto* f = vtkFloatArray::FastDownCast(data)) {
      out << " float\n";
      WriteExactValues(out, f->GetPointer(0), 3 * n);
    } else {
      out << " double\n";
      WriteExactValues(out, vtkDoubleArray::FastDownCast(data)->GetPointer(0), 3 * n);
    }
    out << '\n';
    return !out.fail();
  }

  int FileError = 0;
};

vtkStandardNewMacro(vtkCheckedPolyDataWriter);

// A value that is not finite in a floating-point array of the point, cell or field data:
// Open Model refuses such files. Returns the reason naming the array and tuple, or "".
std::string FirstNonFiniteValue(vtkFieldData* arrays, const char* where) {
  if (!arrays)
    return {};
  for (int a = 0; a < arrays->GetNumberOfArrays(); ++a) {
    vtkDataArray* array = vtkArrayDownCast<vtkDataArray>(arrays->GetAbstractArray(a));
    if (!array || (array->GetDataType() != VTK_FLOAT && array->GetDataType() != VTK_DOUBLE))
      continue;
    const int components = array->GetNumberOfComponents();
    for (vtkIdType t = 0; t < array->GetNumberOfTuples(); ++t)
      for (int c = 0; c < components; ++c) {
        const double v = array->GetComponent(t, c);
        if (std::isfinite(v))
          continue;
        char buffer[32];
        return std::string("the ") + where + " array '" +
               (array->GetName() ? array->GetName() : "") + "' has the value " +
               std::string(ExactText(v, buffer)) + " at tuple " + std::to_string(t) +
               "; no file was written";
      }
  }
  return {};
}

std::string Unwritable(vtkPolyData* data) {
  std::string why = FirstUnwritablePoint(data->GetPoints(), true);
  if (why.empty())
    why = FirstNonFiniteValue(data->GetPointData(), "point data");
  if (why.empty())
    why = FirstNonFiniteValue(data->GetCellData(), "cell data");
  if (why.empty())
    why = FirstNonFiniteValue(data->GetFieldData(), "field data");
  return why;
}

// Runs writer on data (a shallow copy: the caller's data stays as it is), as ASCII file version
// 4.2. Returns false with VTK's reason when the writer fails.
bool RunLegacyWriter(vtkPolyDataWriter* writer, vtkPolyData* data, std::string& reason) {
  reason.clear();
  if (!data) {
    reason = "there is no model to write";
    return false;
  }
  vtkNew<vtkPolyData> copy;
  copy->ShallowCopy(data);
  std::string vtkReason;
  vtkNew<vtkCallbackCommand> onError;
  onError->SetCallback(&KeepFirstError);
  onError->SetClientData(&vtkReason);
  writer->AddObserver(vtkCommand::ErrorEvent, onError);
  writer->SetInputData(copy);
  writer->SetFileVersion(42);
  writer->SetFileTypeToASCII();
  const int written = writer->Write();
  writer->RemoveObserver(onError);
  const unsigned long code = writer->GetErrorCode();
  if (written != 1 || code != vtkErrorCode::NoError || !vtkReason.empty()) {
    if (vtkReason.empty())
      vtkReason = "the VTK writer failed (error code " + std::to_string(code) + ")";
    reason = vtkReason;
    return false;
  }
  return true;
}

} // namespace

std::string FirstUnwritablePoint(vtkPoints* points, bool singlePrecision) {
  if (!points)
    return {};
  const double limit = static_cast<double>(std::numeric_limits<float>::max());
  vtkDataArray* data = points->GetData();
  const vtkIdType n = points->GetNumberOfPoints();
  for (vtkIdType i = 0; i < n; ++i)
    for (int c = 0; c < 3; ++c) {
      const double v = data->GetComponent(i, c);
      const bool finite = std::isfinite(v);
      if (finite && (!singlePrecision || std::fabs(v) <= limit))
        continue;
      char buffer[32];
      const std::string text(ExactText(v, buffer));
      return "point " + std::to_string(i) + " has the coordinate " + text +
             (finite ? ", outside single-precision range" : ", which is not finite") +
             "; no file was written";
    }
  return {};
}

Result FormatLegacyPolyData(vtkPolyData* data, std::string& out) {
  out.clear();
  if (data) {
    if (std::string why = Unwritable(data); !why.empty())
      return Result::Failure(ErrorCode::Refused, std::move(why));
  }
  vtkNew<vtkCheckedPolyDataWriter> writer;
  writer->WriteToOutputStringOn();
  std::string why;
  if (!RunLegacyWriter(writer, data, why))
    return Result::Failure(ErrorCode::CannotWrite, why);
  out = writer->GetOutputStdString();
  return Result::Success();
}

Result WriteLegacyModel(vtkPolyData* data, const std::string& path, const std::string& title) {
  if (!data)
    return Result::Failure(ErrorCode::NoData,
                           "Cannot write '" + path + "': there is no model to write");
  // Checked before anything is created: the old file stays as it is.
  if (const std::string why = Unwritable(data); !why.empty())
    return Result::Failure(ErrorCode::Refused, "Cannot write '" + path + "': " + why);
  // Streamed into the temporary file rather than built in memory first: a large model's text
  // is several times the size of the model.
  const auto writeTemp = [&](const std::string& tempPath) {
    vtkNew<vtkCheckedPolyDataWriter> writer;
    writer->SetFileName(tempPath.c_str());
    if (!title.empty())
      writer->SetHeader(title.c_str());
    std::string why;
    const bool ran = RunLegacyWriter(writer, data, why);
    if (writer->GetFileError() != 0)
      return Result::Failure(ErrorCode::CannotWrite, std::strerror(writer->GetFileError()));
    return ran ? Result::Success() : Result::Failure(ErrorCode::CannotWrite, why);
  };
  return WriteFileAtomicallyWith(path, writeTemp);
}

} // namespace selvane::formats
