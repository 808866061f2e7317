// SPDX-License-Identifier: GPL-3.0-or-later
// What the main window tests share: a sample catalogue of ordinary discs, a
// lent one, an audio CD and a multigroup, written as the program writes
// them, and a window over it whose messages and questions are recorded.
#pragma once

#include <QAbstractItemModel>
#include <QAction>
#include <QMenu>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/format/byte_stream.h"
#include "catalogue/format/records.h"
#include "gui/TMainForm.h"
#include "settings/registry.h"
#include "shell/text.h"

namespace rondo::test::sample {

// Keeps the tests away from the user's settings and data folders: they go
// under home instead.
inline void UseHome(const QTemporaryDir& home) {
  qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
  qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
  qputenv("RONDOTHEKA_REGISTRY", home.filePath("registry.ini").toUtf8());
}

// One disc as the test writes it; texts in UTF-8.
struct Disc {
  std::string serial;
  std::string description;
  std::string groups;
  std::string lending;
  std::string label = "DATA";
  bool inMultigroup = false;
  std::vector<std::string> members;  // a multigroup when not empty
};

inline rondo::CdHeader HeaderOf(const Disc& disc) {
  rondo::CdHeader h;
  h.Serial.Set(rondo::ToCp1250(disc.serial));
  h.Description.Set(rondo::ToCp1250(disc.description));
  h.Groups.Set(rondo::ToCp1250(disc.groups));
  h.Lending.Set(rondo::ToCp1250(disc.lending));
  h.VolumeLabel.Set(rondo::ToCp1250(disc.members.empty() ? disc.label : "Multi Group"));
  if (!disc.lending.empty())
    h.LendDate = 43831.5;
  h.Created = 45000.5;
  h.Finished = 45000.5 + 75.0 / 86400.0;
  h.FileCount = 12;
  h.DirCount = 3;
  h.CdSize = 650000;
  h.InMultigroup = disc.inMultigroup ? 1 : 0;
  return h;
}

inline void WriteCatalogue(const QString& path, const std::vector<Disc>& discs) {
  rondo::FileStream file(path.toStdString(), rondo::FileStream::Mode::kReadWriteOrCreate);
  file.Truncate(0);
  file.Seek(0);
  rondo::WriteDatabaseHeader(file, rondo::DatabaseHeader::Current());
  for (const Disc& disc : discs) {
    rondo::CdHeader h = HeaderOf(disc);
    if (disc.members.empty()) {
      h.BlockSize = static_cast<std::uint32_t>(rondo::kCdHeaderSize);
      rondo::WriteCdHeader(file, h);
    } else {
      h.BlockSize = static_cast<std::uint32_t>(rondo::kMultigroupBlockSize);
      rondo::WriteCdHeader(file, h);
      rondo::MemberList list;
      for (std::size_t i = 0; i < disc.members.size(); ++i) {
        list.Slots[i].Set(rondo::ToCp1250(disc.members[i]));
      }
      rondo::WriteMemberList(file, list);
    }
  }
  file.Sync();
}

inline std::vector<Disc> SampleDiscs() {
  std::vector<Disc> discs;
  discs.push_back({"1111-0001", "Doom", "Hry;Filmy", "", "DOOM", false, {}});
  discs.push_back({"1111-0002", "Matrix", "Filmy", "Pepa", "MATRIX", false, {}});
  discs.push_back({"1111-0003", "Quake", "Hry", "Vráceno: 1.1.2020", "QUAKE", false, {}});
  discs.push_back({"1111-0004", "Hudba", "Hudba", "", "Audio CD", false, {}});
  discs.push_back({"1111-0005", "Archiv", "Zálohy", "", "", false, {"1111-0006", "1111-0007"}});
  discs.push_back({"1111-0006", "Archiv díl 1", "Zálohy", "", "ARCH1", true, {}});
  discs.push_back({"1111-0007", "Archiv díl 2", "Zálohy", "", "ARCH2", true, {}});
  return discs;
}

inline QString Cell(const QAbstractItemModel& model, int row, int column) {
  return model.data(model.index(row, column)).toString();
}

inline QSet<QString> Captions(const QAbstractItemModel& model) {
  QSet<QString> captions;
  for (int row = 0; row < model.rowCount(); ++row)
    captions.insert(Cell(model, row, 0));
  return captions;
}

inline int RowOf(const QAbstractItemModel& model, const QString& caption) {
  for (int row = 0; row < model.rowCount(); ++row) {
    if (Cell(model, row, 0) == caption)
      return row;
  }
  return -1;
}

inline QAction* MenuAction(QMenu* menu, const QString& text) {
  for (QAction* action : menu->actions()) {
    if (!action->isSeparator() && action->text() == text)
      return action;
  }
  return nullptr;
}

// Chooses an entry of the group menu as the user would; false when the menu
// has no such entry.
inline bool ChooseGroup(gui::TMainForm& window, const QString& text) {
  QAction* action = MenuAction(window.groupMenu(), text);
  if (action == nullptr)
    return false;
  action->trigger();
  return true;
}

// A window over a catalogue in a temporary folder, with the message boxes
// replaced by recorders so nothing modal ever blocks the test.
struct Fixture {
  QTemporaryDir dir;
  rondo::MemoryRegistry registry;
  std::unique_ptr<gui::TMainForm> window;
  QStringList messages;
  QStringList questions;
  bool answer = false;

  QString path(const QString& name) const { return dir.filePath(name); }

  // Writes the sample catalogue as katalog.big and names it in the settings.
  void useSampleCatalogue() {
    WriteCatalogue(path("katalog.big"), SampleDiscs());
    registry.WriteText("Cesta", path("katalog.big").toStdString());
  }

  void createWindow() {
    // This version has run before, so no settings window opens at start.
    if (registry.ReadText("VerzeProgramu").empty())
      registry.WriteText("VerzeProgramu", "QEL Rondotheka 4.4");
    window = std::make_unique<gui::TMainForm>(registry);
    window->splashMilliseconds = 0;
    window->quitOnClose = false;
    window->messageHook = [this](const QString& text) { messages << text; };
    window->confirmHook = [this](const QString& text) {
      questions << text;
      return answer;
    };
  }

  // Creates, starts and shows the window.
  bool open() {
    createWindow();
    window->start();
    window->show();
    return QTest::qWaitForWindowExposed(window.get());
  }

  QAbstractItemModel& model() const { return *window->discModel(); }
  QTreeView& view() const { return *window->discView(); }

  // A real double click on a row of the list: the press that selects the
  // row, then the double click itself.
  void doubleClickRow(int row) {
    const QModelIndex index = model().index(row, 0);
    view().scrollTo(index);
    const QPoint centre = view().visualRect(index).center();
    QTest::mouseClick(view().viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseDClick(view().viewport(), Qt::LeftButton, Qt::NoModifier, centre);
  }

  void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QModelIndex index = model().index(row, 0);
    view().scrollTo(index);
    QTest::mouseClick(view().viewport(), Qt::LeftButton, modifiers,
                      view().visualRect(index).center());
  }
};

}  // namespace rondo::test::sample
