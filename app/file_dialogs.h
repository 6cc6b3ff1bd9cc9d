// Open and save file dialogs owned by the main window. Filters are given as
// "description|pattern" pairs. Choosing a file makes its folder the current directory,
// so the next open dialog starts where the user last was.
#pragma once

#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace varnix {

struct FileRequest {
    bool save = false;
    std::string filter;
    std::string initialFolder;  // empty: the dialog's own choice
};

class FileDialogs {
  public:
    // Answers a dialog instead of showing it (nothing: cancelled); for tests.
    using Answerer = std::function<std::optional<std::string>(const FileRequest&)>;

    explicit FileDialogs(QWidget* owner) : owner_(owner) {}
    // The chosen full path, or nothing when the user cancelled.
    std::optional<std::string> Show(const FileRequest& request);
    void SetAnswerer(Answerer answerer) { answerer_ = std::move(answerer); }

  private:
    QWidget* owner_;
    Answerer answerer_;
};

}  // namespace varnix
