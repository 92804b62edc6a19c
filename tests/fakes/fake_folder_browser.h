// The shell's folder browse dialog without a window: each Browse reports "initialized" to the
// callback against a recorded dialog, then answers as the test said. Every item handed out
// and freed is recorded. Used on the main thread.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "corvale/platform/folder_browser.h"

namespace corvale::testing {

class FakeFolderBrowser : public FolderBrowser {
 public:
  // What the operator does in the open dialog.
  struct Answer {
    enum class Kind {
      kCancel,         // closes it without a choice
      kOkOnSelection,  // presses OK on the folder the dialog selected when it opened
      kFolder,         // picks `path`
      kVirtual,        // picks an item without a file-system path (a printer, a computer)
      kError,          // an error is raised while the dialog runs
    };
    Kind kind = Kind::kCancel;
    std::string path;
    int image_index = 0;
  };

  // The dialog as the callback moves and captions it.
  struct Window : BrowseDialogWindow {
    Rect bounds{100, 80, 410, 367};
    Rect desktop{0, 0, 1280, 1024};
    std::vector<std::string> selected;
    std::vector<std::string> texts;
    std::vector<std::pair<int, int>> moves;
    void SelectFolder(const std::string& path) override { selected.push_back(path); }
    Rect Bounds() override { return bounds; }
    Rect Desktop() override { return desktop; }
    void MoveTo(int x, int y) override { moves.emplace_back(x, y); }
    void SetText(const std::string& text) override { texts.push_back(text); }
  };

  std::string current_directory = "C:\\Work";
  // Answers of the coming runs, in order; when none is left the operator cancels.
  std::deque<Answer> answers;
  // The dialog of the last run, as the callback left it.
  Window window;

  void AnswerOk() { answers.push_back({Answer::Kind::kOkOnSelection, "", 0}); }
  void AnswerFolder(const std::string& path, int image_index = 0) {
    answers.push_back({Answer::Kind::kFolder, path, image_index});
  }

  std::optional<BrowsedItem> Browse(const FolderBrowseRequest& request,
                                    BrowseCallback& callback) override {
    requests.push_back(request);
    window = Window{};
    Answer answer;
    if (!answers.empty()) {
      answer = answers.front();
      answers.pop_front();
    }
    callback.Initialized(window);
    switch (answer.kind) {
      case Answer::Kind::kCancel:
        return std::nullopt;
      case Answer::Kind::kError:
        throw std::runtime_error("the browse dialog failed");
      case Answer::Kind::kOkOnSelection:
        return Issue(window.selected.empty() ? std::string() : window.selected.back(),
                     answer.image_index);
      case Answer::Kind::kFolder:
        return Issue(answer.path, answer.image_index);
      case Answer::Kind::kVirtual:
        return Issue(std::nullopt, answer.image_index);
    }
    return std::nullopt;
  }

  std::optional<std::string> PathFromItem(const BrowsedItem& item, size_t buffer_length) override {
    auto found = paths_.find(item.id);
    if (found == paths_.end() || !found->second) return std::nullopt;
    if (found->second->size() + 1 > buffer_length) return std::nullopt;
    return found->second;
  }

  void FreeItem(const BrowsedItem& item) override { freed.push_back(item.id); }

  std::string CurrentDirectory() override { return current_directory; }

  std::vector<FolderBrowseRequest> requests;
  std::vector<std::uintptr_t> issued;
  std::vector<std::uintptr_t> freed;

 private:
  BrowsedItem Issue(std::optional<std::string> path, int image_index) {
    const std::uintptr_t id = 0x1000 + issued.size();
    issued.push_back(id);
    paths_[id] = std::move(path);
    return {id, image_index};
  }

  std::map<std::uintptr_t, std::optional<std::string>> paths_;
};

}  // namespace corvale::testing
