// SPDX-License-Identifier: GPL-3.0-or-later
// A scripted host: answers confirmations from a queue and records every
// question and message the engine shows.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/engine_host.h"

namespace rondo::test {

class FakeHost : public EngineHost {
 public:
  bool Confirm(const std::string& text) override {
    questions.push_back(text);
    if (answers.empty())
      return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void DiscListAboutToChange() override { ++resets; }
  void DiscListChanged() override { ++changes; }
  void DirListAboutToChange() override { ++dirResets; }
  void DirListChanged() override { ++dirChanges; }
  void PathLabelChanged(const std::string& text) override { pathLabels.push_back(text); }
  void ShiftStarted() override { ++shiftWindowsOpen; }
  void ShiftProgress(int bar, std::uint64_t position, std::uint64_t maximum) override {
    shiftBars[bar == 0 ? 0 : 1] = {position, maximum};
  }
  void ShiftFinished() override { --shiftWindowsOpen; }

  std::deque<bool> answers;
  std::vector<std::string> questions;
  std::vector<std::string> messages;
  std::vector<std::string> pathLabels;
  int resets = 0;
  int changes = 0;
  int dirResets = 0;
  int dirChanges = 0;
  int shiftWindowsOpen = 0;
  std::pair<std::uint64_t, std::uint64_t> shiftBars[2]{};
};

}  // namespace rondo::test
