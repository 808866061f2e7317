// SPDX-License-Identifier: GPL-3.0-or-later
// Controls that keep their own value in the settings: each knows its key
// path (zzRegPath, one key name per entry, below the settings root), its
// value name (zzValueName) and its default, and loads and saves itself when
// its window says so.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QString>
#include <QStringList>
#include <string>

#include "settings/registry.h"

namespace rondo::gui {

// The program's own key path.
QStringList ProgramRegPath();

// The settings key a zzRegPath stands for, as the Registry's key argument:
// the program's own key ("Software", "QEL Software", "Rondotheka") is "",
// the names after it form the subkey path joined with "\\". Empty entries
// are skipped. We keep a single store, so a path that does not start with
// the program's key is taken as a whole as a subkey path below it.
std::string RegistryKeyOf(const QStringList& regPath);

class TQELCheckBox : public QCheckBox {
  Q_OBJECT
 public:
  explicit TQELCheckBox(const QString& text = QString(), QWidget* parent = nullptr);
  QStringList zzRegPath;
  QString zzValueName;
  bool zzDefaultChecked() const { return defaultChecked_; }
  void setZzDefaultChecked(bool checked);  // applied to the box at once
  void LoadFromRegistry(Registry& registry);
  void SaveToRegistry(Registry& registry);

 private:
  bool defaultChecked_ = false;
};

class TQELRadioButton : public QRadioButton {
  Q_OBJECT
 public:
  explicit TQELRadioButton(const QString& text = QString(), QWidget* parent = nullptr);
  QStringList zzRegPath;
  QString zzValueName;
  bool zzDefaultChecked() const { return defaultChecked_; }
  void setZzDefaultChecked(bool checked);  // applied at once
  void LoadFromRegistry(Registry& registry);
  void SaveToRegistry(Registry& registry);

 private:
  bool defaultChecked_ = false;
};

class TQELSpinEdit : public QSpinBox {
  Q_OBJECT
 public:
  explicit TQELSpinEdit(QWidget* parent = nullptr);
  QStringList zzRegPath;
  QString zzValueName;
  int zzDefaultValue() const { return defaultValue_; }
  void setZzDefaultValue(int value);  // only stored, shown after loading
  void LoadFromRegistry(Registry& registry);
  void SaveToRegistry(Registry& registry);  // nothing when the edit text is empty

 private:
  int defaultValue_ = 0;
};

class TQELComboBox : public QComboBox {
  Q_OBJECT
 public:
  explicit TQELComboBox(QWidget* parent = nullptr);  // editable
  QStringList zzRegPath;
  QString zzValueName;
  QString zzDefaultValue() const { return defaultValue_; }
  void setZzDefaultValue(const QString& value);  // applied to the text at once
  void LoadFromRegistry(Registry& registry);
  void SaveToRegistry(Registry& registry);

 private:
  QString defaultValue_;
};

// Loads / saves every persisted control below root (group boxes, stacked
// pages and tab pages included), in widget order.
void LoadPersistedControls(QWidget* root, Registry& registry);
void SavePersistedControls(QWidget* root, Registry& registry);

}  // namespace rondo::gui
