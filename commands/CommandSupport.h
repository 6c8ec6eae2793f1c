// What every file command does around its format code: ask for the path, write or read the
// whole file safely, and tell the user about failures and skipped lines.
#ifndef SELVANE_FILES_COMMAND_SUPPORT_H
#define SELVANE_FILES_COMMAND_SUPPORT_H

#include <cstddef>
#include <new>
#include <string>
#include <string_view>

namespace selvane {

class MainDialog;

namespace formats {
struct ParseReport;
}

// The arguments of one command's file prompt.
struct FilePrompt {
  const char* Title;
  const char* Description; // of the file kind, shown with Pattern before "All Files"
  const char* Pattern;     // e.g. "*.CID"
  const char* Extension;   // e.g. ".cid"; the prompt opens with "*" and this extension
  bool Open;               // open mode (the file must exist) or save mode
};

// "1 cell ID", "12 cell IDs".
std::string CountOf(std::size_t count, const char* singular, const char* plural);

// Asks for a path; false when the user cancels.
bool AskPath(MainDialog& dialog, const FilePrompt& prompt, std::string& path);

// Replaces path with contents through a checked temporary file. On failure the old file is
// untouched and the user sees "Cannot oper file for write!" with the file and the reason.
// On success the status line says what was exported ("Exported <what> to <path>").
bool ExportText(MainDialog& dialog, const std::string& path, const std::string& contents,
                const std::string& what);

// Reads the whole file. On failure the user sees "Cannot oper file for reading!" with the
// file and the reason.
bool ReadImport(MainDialog& dialog, const std::string& path, std::string& contents);

// "Cannot oper file for reading!" and a second line "Cannot read '<path>': <reason>".
void ShowReadFailure(MainDialog& dialog, const std::string& path, const std::string& reason);
// Shows the refusal of a parsed file (a line longer than the limit); false when there is none.
bool ShowRefusedFile(MainDialog& dialog, const std::string& path,
                     const formats::ParseReport& report);

// Reads the whole file and sets content to parse(text). False, after a message naming the file
// and the reason, when the file cannot be read, is refused, or memory runs out; content is
// then not to be applied.
template <class Content, class Parse>
bool ReadAndParse(MainDialog& dialog, const std::string& path, Parse&& parse, Content& content) {
  try {
    std::string text;
    if (!ReadImport(dialog, path, text))
      return false;
    content = parse(std::string_view(text));
  } catch (const std::bad_alloc&) {
    ShowReadFailure(dialog, path, "not enough memory to read the file");
    return false;
  }
  return !ShowRefusedFile(dialog, path, content.Report);
}

// Before an import replaces a list: true, after one message naming the file, saying why each
// line was skipped and that the lists were left as they were, when the file has entry lines
// and every one of them was skipped (a file of comments alone is no such file: it empties the
// list, as an empty list is exported). list names the list, e.g. "selected points".
bool KeepListsWhenNothingIsUsable(MainDialog& dialog, const std::string& path,
                                  const formats::ParseReport& report, const char* list);

// After an import: one message naming the file, how many lines were skipped and why, none
// when every line counted; and on the status line how many entry lines were taken.
void ReportSkippedLines(MainDialog& dialog, const std::string& path,
                        const formats::ParseReport& report);

} // namespace selvane

#endif
