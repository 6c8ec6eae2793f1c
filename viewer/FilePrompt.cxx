#include "FilePrompt.h"

#include "MainDialog.h"

namespace selvane {

std::string InitialFileName(const std::string& path, const std::string& defaultExtension) {
  const auto dot = path.rfind('.');
  if (dot == std::string::npos)
    return defaultExtension;
  return path.substr(0, dot) + defaultExtension;
}

bool MainDialog::PromptFileName(std::string& path, const std::string& title, unsigned flags,
                                const std::vector<FileFilter>& filter,
                                const std::string& defaultExtension, bool openMode) {
  FilePromptRequest request;
  request.Title = title;
  request.Flags = HideReadOnly | OverwritePrompt | flags;
  request.Filters = filter;
  request.InitialName = InitialFileName(path, defaultExtension);
  request.OpenMode = openMode;
  std::string chosen;
  if (!Windowing.AskFileName(request, chosen)) {
    path = request.InitialName;
    return false;
  }
  // Paths are kept whole, whatever their length.
  path = chosen;
  return true;
}

} // namespace selvane
