// A .vtp file held in memory only where it is looked at, for VTK's XML reader to read it
// without a copy of its bulk data.
//
// The view maps an image of the file (its size, nothing committed until touched) and loads
// into it from one open descriptor only the bytes asked for: the XML up to where the appended
// data start, the end of the file (the closing tags), and whatever the structure check reads
// (array sizes, compression headers, the last cell offsets; all of the file when it holds
// inline or base64 data, whose text is checked whole). The stream it gives VTK serves loaded
// bytes from the image, so that VTK sees exactly the bytes the check saw, and reads the others
// (raw array values) from the file straight into VTK's arrays, showing every stretch it gives
// out to a value watch (VtpValueWatch.h) where one is set; values are checked there, or on
// VTK's output as every reader's are.
#pragma once

#include "InputFile.h"
#include "VtpStructureCheck.h"
#include "VtpValueWatch.h"

#include <cstdint>
#include <istream>
#include <streambuf>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace selvane::formats {

class VtpFileView : public VtpByteSource {
public:
  VtpFileView() = default;
  ~VtpFileView() override;
  VtpFileView(const VtpFileView&) = delete;
  VtpFileView& operator=(const VtpFileView&) = delete;

  // Opens the regular file at path (as ReadRegularFile does) and loads its XML and its end,
  // looking for them in `firstBytes` at a time.
  static constexpr std::uint64_t DefaultFirstBytes = 64 * 1024;
  Result Open(const std::string& path, std::uint64_t firstBytes = DefaultFirstBytes);

  // The image: the file's bytes where loaded, zeros elsewhere.
  std::string_view Bytes() const {
    return std::string_view(this->Image, static_cast<std::size_t>(this->Size));
  }

  void Load(std::uint64_t offset, std::uint64_t count) override;
  void LoadAll() override { this->Load(0, this->Size); }
  bool Holds(std::uint64_t offset, std::uint64_t count) const override;

  // Copies bytes [offset, offset + count) as VTK is to see them into out: loaded ones from the
  // image, the others from the file. Returns how many; fewer at the end of the file or when the
  // file can no longer be read (ReadProblem says why).
  std::size_t ReadAt(std::uint64_t offset, char* out, std::size_t count);
  std::uint64_t FileSize() const { return this->Size; }

  // The first failure to read the file since it was opened.
  const Result& ReadProblem() const { return this->Problem; }

private:
  bool ReadFile(std::uint64_t offset, char* out, std::size_t count);
  void LoadHead(std::uint64_t firstBytes);
  void LoadTail(std::uint64_t lastBytes);

  int Fd = -1;
  char* Image = nullptr;
  std::uint64_t Size = 0;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> Loaded; // sorted, disjoint [begin, end)
  Result Problem;
};

// The view as a seekable input stream, read through a small buffer, and straight into the
// reader's memory for large reads. The view must outlive the stream.
class VtpFileStreamBuffer : public std::streambuf {
public:
  explicit VtpFileStreamBuffer(VtpFileView& view);

  // Shows every stretch the stream gives out to `watch` (none: no watch), where it gives it out.
  void SetWatch(VtpValueWatch* watch) { this->Watch = watch; }

protected:
  int_type underflow() override;
  std::streamsize xsgetn(char* out, std::streamsize count) override;
  pos_type seekoff(off_type offset, std::ios_base::seekdir dir,
                   std::ios_base::openmode which) override;
  pos_type seekpos(pos_type position, std::ios_base::openmode which) override;
  // Drops what was read ahead, so that the next read gets the view's bytes as they are now.
  int sync() override;

private:
  std::uint64_t Position() const {
    return this->BufferStart + static_cast<std::uint64_t>(this->gptr() - this->eback());
  }

  void GiveOut(std::uint64_t position, const char* bytes, std::streamsize count) {
    if (this->Watch && count > 0) {
      this->Watch->Received(position, bytes, static_cast<std::size_t>(count));
    }
  }

  VtpFileView& View;
  VtpValueWatch* Watch = nullptr;
  std::vector<char> Buffer;
  std::uint64_t BufferStart = 0; // the file position of Buffer's first byte
};

class VtpFileStream : public std::istream {
public:
  explicit VtpFileStream(VtpFileView& view);
  void SetWatch(VtpValueWatch* watch) { this->Buffer.SetWatch(watch); }

private:
  VtpFileStreamBuffer Buffer;
};

} // namespace selvane::formats
