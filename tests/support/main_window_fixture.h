// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as the window tests start it: over a catalogue in a
// temporary folder, without the splash, its questions (answered with
// `answer`) and messages recorded.
#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>

#include "gui/TMainForm.h"
#include "settings/registry.h"

namespace rondo::test {

struct MainWindowFixture {
  QTemporaryDir dir;
  MemoryRegistry registry;
  std::unique_ptr<gui::TMainForm> window;
  QStringList questions;
  QStringList messages;
  bool answer = true;
  std::string path;  // the catalogue, which the test writes before Start

  MainWindowFixture() : path((dir.path() + "/katalog.big").toStdString()) {
    registry.WriteText("Cesta", path);
    registry.WriteText("VerzeProgramu", "QEL Rondotheka 4.4");
  }

  // Makes, starts and shows the window; `before` sets what must be set
  // before it starts.
  void Start(const std::function<void(gui::TMainForm&)>& before = {}) {
    window = std::make_unique<gui::TMainForm>(registry);
    window->splashMilliseconds = 0;
    window->quitOnClose = false;
    window->confirmHook = [this](const QString& q) {
      questions << q;
      return answer;
    };
    window->messageHook = [this](const QString& m) { messages << m; };
    if (before)
      before(*window);
    window->start();
    window->show();
  }

  void Trigger(const char* name) { window->command(QString::fromLatin1(name))->trigger(); }
};

}  // namespace rondo::test
