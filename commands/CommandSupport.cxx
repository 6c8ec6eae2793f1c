#include "CommandSupport.h"

#include <algorithm>

#include "AtomicFile.h"
#include "MainDialog.h"
#include "SelectionFiles.h"
#include "TextLines.h"

namespace selvane {

bool AskPath(MainDialog& dialog, const FilePrompt& prompt, std::string& path) {
  path = std::string("*") + prompt.Extension;
  const unsigned flags = prompt.Open ? (FileMustExist | HideReadOnly) : HideReadOnly;
  return dialog.PromptFileName(path, prompt.Title, flags,
                               {{prompt.Description, prompt.Pattern}, {"All Files", "*.*"}},
                               prompt.Extension, prompt.Open);
}

std::string CountOf(std::size_t count, const char* singular, const char* plural) {
  return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

bool ExportText(MainDialog& dialog, const std::string& path, const std::string& contents,
                const std::string& what) {
  const Result written = formats::WriteFileAtomically(path, contents);
  if (written) {
    dialog.Windowing.ShowStatus("Exported " + what + " to " + path);
    return true;
  }
  dialog.Windowing.ShowMessage("Cannot oper file for write!\n" + written.Reason);
  return false;
}

bool ReadImport(MainDialog& dialog, const std::string& path, std::string& contents) {
  const Result read = formats::ReadFileContents(path, contents);
  if (read)
    return true;
  dialog.Windowing.ShowMessage("Cannot oper file for reading!\n" + read.Reason);
  return false;
}

void ShowReadFailure(MainDialog& dialog, const std::string& path, const std::string& reason) {
  dialog.Windowing.ShowMessage("Cannot oper file for reading!\nCannot read '" + path +
                               "': " + reason);
}

bool ShowRefusedFile(MainDialog& dialog, const std::string& path,
                     const formats::ParseReport& report) {
  if (report.TooLongLine == 0)
    return false;
  ShowReadFailure(dialog, path, formats::DescribeTooLongLine(report.TooLongLine));
  return true;
}

bool KeepListsWhenNothingIsUsable(MainDialog& dialog, const std::string& path,
                                  const formats::ParseReport& report, const char* list) {
  const std::size_t entries = report.Lines - report.CommentLines - report.BlankLines;
  if (entries == 0 || report.Skipped.size() < entries)
    return false;
  dialog.Windowing.ShowMessage("In '" + path + "', " + formats::SummarizeSkipped(report) +
                               " No line could be used: the " + list + " were left as they were.");
  dialog.Windowing.ShowStatus("Imported nothing from " + path);
  return true;
}

void ReportSkippedLines(MainDialog& dialog, const std::string& path,
                        const formats::ParseReport& report) {
  const std::string summary = formats::SummarizeSkipped(report);
  if (!summary.empty())
    dialog.Windowing.ShowMessage("In '" + path + "', " + summary);
  const std::size_t entries = report.Lines - report.CommentLines - report.BlankLines;
  const std::size_t taken = entries - std::min(entries, report.Skipped.size());
  dialog.Windowing.ShowStatus("Imported " + std::to_string(taken) + " of " +
                              std::to_string(entries) + " lines from " + path);
}

} // namespace selvane
