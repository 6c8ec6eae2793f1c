#include "LegacyModelWriter.h"

#include "AtomicFile.h"

#include <vtkCallbackCommand.h>
#include <vtkCommand.h>
#include <vtkErrorCode.h>
#include <vtkNew.h>
#include <vtkObjectFactory.h>
#include <vtkPoints.h>
#include <vtkPolyData.h>
#include <vtkPolyDataWriter.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

// The legacy writer, writing its file through a CheckedFileStream.
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

private:
  vtkCheckedPolyDataWriter(const vtkCheckedPolyDataWriter&) = delete;
  void operator=(const vtkCheckedPolyDataWriter&) = delete;

  int FileError = 0;
};

vtkStandardNewMacro(vtkCheckedPolyDataWriter);

// Runs writer on data with double points (a shallow copy: the caller's data stays as it is), as
// ASCII file version 4.2. Returns false with VTK's reason when the writer fails.
bool RunLegacyWriter(vtkPolyDataWriter* writer, vtkPolyData* data, std::string& reason) {
  reason.clear();
  if (!data) {
    reason = "there is no model to write";
    return false;
  }
  vtkNew<vtkPolyData> copy;
  copy->ShallowCopy(data);
  if (vtkPoints* points = data->GetPoints()) {
    vtkNew<vtkPoints> exact;
    exact->SetDataTypeToDouble();
    exact->DeepCopy(points); // converts float to double without loss
    copy->SetPoints(exact);
  }
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

bool FormatLegacyPolyData(vtkPolyData* data, std::string& out, std::string& reason) {
  out.clear();
  vtkNew<vtkPolyDataWriter> writer;
  writer->WriteToOutputStringOn();
  if (!RunLegacyWriter(writer, data, reason))
    return false;
  out = writer->GetOutputStdString();
  return true;
}

bool WriteLegacyPolyDataFile(vtkPolyData* data, const std::string& path, std::string& reason) {
  if (!data) {
    reason = "Cannot write '" + path + "': there is no model to write";
    return false;
  }
  // Streamed into the temporary file rather than built in memory first: a large model's text
  // is several times the size of the model.
  const auto writeTemp = [&](const std::string& tempPath, std::string& why) {
    vtkNew<vtkCheckedPolyDataWriter> writer;
    writer->SetFileName(tempPath.c_str());
    const bool ran = RunLegacyWriter(writer, data, why);
    if (writer->GetFileError() != 0) {
      why = std::strerror(writer->GetFileError());
      return false;
    }
    return ran;
  };
  return WriteFileAtomicallyWith(path, writeTemp, &reason);
}

} // namespace selvane::formats
