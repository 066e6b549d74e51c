#pragma once

#include <deque>
#include <string>
#include <vector>

#include "workflow/operator_port.h"

namespace brevant::testing {

// Records every note and sheet edit; answers as told: from `answers` while it
// lasts, then `answer`.
class FakeOperatorPort : public OperatorPort {
 public:
  struct Shown {
    std::string title;
    std::string text;
    bool withCancel;
  };

  bool Note(const std::string& title, const std::string& text, bool withCancel) override {
    notes.push_back({title, text, withCancel});
    if (!answers.empty()) {
      const bool next = answers.front();
      answers.pop_front();
      return next;
    }
    return answer;
  }
  SheetEdit EditSheet(const std::filesystem::path& sheet) override {
    edited.push_back(sheet);
    return edit;
  }

  std::string LastText() const { return notes.empty() ? std::string() : notes.back().text; }

  bool answer = true;
  std::deque<bool> answers;
  SheetEdit edit = SheetEdit::Edited;
  std::vector<Shown> notes;
  std::vector<std::filesystem::path> edited;
};

}  // namespace brevant::testing
