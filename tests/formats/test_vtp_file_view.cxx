// VtpFileStream: what VTK's reader reads through the view after the check has loaded more of the
// file is what the check saw, even where the stream had read ahead from the file before.
#include "VtpFileView.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

TEST(VtpFileStream, SyncDropsWhatWasReadAheadFromTheFile) {
  const fs::path path =
      fs::temp_directory_path() / ("selvane-view-" + std::to_string(::getpid()) + ".vtp");
  const std::string head = "<AppendedData encoding=\"raw\">\n_";
  std::ofstream(path, std::ios::binary)
      << head << std::string(200000, 'a') << "\n</AppendedData>\n";
  selvane::formats::VtpFileView view;
  ASSERT_TRUE(view.Open(path.string(), 16).Ok());
  ASSERT_FALSE(view.Holds(1000, 100)); // the middle is read from the file, not held

  selvane::formats::VtpFileStream stream(view);
  stream.seekg(1000);
  char c = 0;
  ASSERT_TRUE(stream.read(&c, 1));
  EXPECT_EQ('a', c);
  // The file changes, and the check loads the changed bytes.
  {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(1000);
    file << std::string(100, 'b');
  }
  view.Load(1000, 100);
  ASSERT_TRUE(view.Holds(1000, 100));

  ASSERT_EQ(0, stream.rdbuf()->pubsync());
  EXPECT_EQ(1001, static_cast<long>(stream.tellg()));
  std::string next(99, '\0');
  ASSERT_TRUE(stream.read(next.data(), 99));
  EXPECT_EQ(std::string(99, 'b'), next);
  ASSERT_TRUE(stream.read(&c, 1));
  EXPECT_EQ('a', c);
  fs::remove(path);
}

} // namespace
