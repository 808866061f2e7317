// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/QELControls.h"

#include <QByteArray>
#include <QObject>
#include <charconv>
#include <cstdint>
#include <optional>

namespace rondo::gui {

namespace {

std::string Utf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A whole decimal number, or nothing (text, empty, out of range).
std::optional<std::int64_t> WholeNumber(const std::string& text) {
  std::int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [last, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || last != end)
    return std::nullopt;
  return value;
}

// Check boxes and radio buttons keep 0 / 1; any other number counts as
// checked, the words the settings helpers understand are taken too. Anything
// else is not a boolean at all.
std::optional<bool> StoredBool(const std::string& text) {
  if (const std::optional<std::int64_t> number = WholeNumber(text))
    return *number != 0;
  const QString word = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  if (word.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0)
    return true;
  if (word.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0)
    return false;
  return std::nullopt;
}

// The stored value of a control, nothing when the value does not exist.
std::optional<std::string> StoredValue(Registry& registry, const QStringList& regPath,
                                       const QString& valueName) {
  return registry.Read(RegistryKeyOf(regPath), Utf8(valueName));
}

template <typename Control>
void LoadCheckable(Control& control, Registry& registry) {
  if (const std::optional<std::string> stored =
          StoredValue(registry, control.zzRegPath, control.zzValueName)) {
    if (const std::optional<bool> checked = StoredBool(*stored)) {
      control.setChecked(*checked);
      return;
    }
  }
  // Missing or not a boolean: the default, written back at once.
  control.setChecked(control.zzDefaultChecked());
  control.SaveToRegistry(registry);
}

void WalkPersisted(QObject* parent, Registry& registry, bool load) {
  for (QObject* child : parent->children()) {
    if (!child->isWidgetType())
      continue;
    if (auto* box = qobject_cast<TQELCheckBox*>(child)) {
      load ? box->LoadFromRegistry(registry) : box->SaveToRegistry(registry);
    } else if (auto* radio = qobject_cast<TQELRadioButton*>(child)) {
      load ? radio->LoadFromRegistry(registry) : radio->SaveToRegistry(registry);
    } else if (auto* spin = qobject_cast<TQELSpinEdit*>(child)) {
      load ? spin->LoadFromRegistry(registry) : spin->SaveToRegistry(registry);
    } else if (auto* combo = qobject_cast<TQELComboBox*>(child)) {
      load ? combo->LoadFromRegistry(registry) : combo->SaveToRegistry(registry);
    }
    WalkPersisted(child, registry, load);
  }
}

}  // namespace

QStringList ProgramRegPath() {
  return {QStringLiteral("Software"), QStringLiteral("QEL Software"), QStringLiteral("Rondotheka")};
}

std::string RegistryKeyOf(const QStringList& regPath) {
  QStringList names;
  for (const QString& name : regPath) {
    if (!name.isEmpty())
      names.append(name);
  }
  // Key names compare without regard to letter case, as they always did.
  const QStringList program = ProgramRegPath();
  bool underProgram = names.size() >= program.size();
  for (qsizetype i = 0; underProgram && i < program.size(); ++i)
    underProgram = names.at(i).compare(program.at(i), Qt::CaseInsensitive) == 0;
  if (underProgram)
    names.remove(0, program.size());
  return Utf8(names.join(QLatin1Char('\\')));
}

// ---------------------------------------------------------------------------

TQELCheckBox::TQELCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {}

void TQELCheckBox::setZzDefaultChecked(bool checked) {
  defaultChecked_ = checked;
  setChecked(checked);
}

void TQELCheckBox::LoadFromRegistry(Registry& registry) {
  if (zzValueName.isEmpty()) {
    // A box without a value name only shows its default.
    setChecked(defaultChecked_);
    return;
  }
  LoadCheckable(*this, registry);
}

void TQELCheckBox::SaveToRegistry(Registry& registry) {
  if (zzValueName.isEmpty())
    return;
  registry.WriteBool(Utf8(zzValueName), isChecked(), RegistryKeyOf(zzRegPath));
}

// ---------------------------------------------------------------------------

TQELRadioButton::TQELRadioButton(const QString& text, QWidget* parent)
    : QRadioButton(text, parent) {}

void TQELRadioButton::setZzDefaultChecked(bool checked) {
  defaultChecked_ = checked;
  setChecked(checked);
}

void TQELRadioButton::LoadFromRegistry(Registry& registry) {
  LoadCheckable(*this, registry);
}

void TQELRadioButton::SaveToRegistry(Registry& registry) {
  registry.WriteBool(Utf8(zzValueName), isChecked(), RegistryKeyOf(zzRegPath));
}

// ---------------------------------------------------------------------------

TQELSpinEdit::TQELSpinEdit(QWidget* parent) : QSpinBox(parent) {}

void TQELSpinEdit::setZzDefaultValue(int value) {
  defaultValue_ = value;
}

void TQELSpinEdit::LoadFromRegistry(Registry& registry) {
  if (const std::optional<std::string> stored = StoredValue(registry, zzRegPath, zzValueName)) {
    const std::optional<std::int64_t> number = WholeNumber(*stored);
    if (number && *number >= minimum() && *number <= maximum()) {
      setValue(static_cast<int>(*number));
      return;
    }
  }
  // Missing, not a number or outside the range: the default, written back.
  setValue(defaultValue_);
  SaveToRegistry(registry);
}

void TQELSpinEdit::SaveToRegistry(Registry& registry) {
  // An emptied edit has no value to keep; what is stored stays.
  if (cleanText().isEmpty())
    return;
  registry.WriteInteger(Utf8(zzValueName), value(), RegistryKeyOf(zzRegPath));
}

// ---------------------------------------------------------------------------

TQELComboBox::TQELComboBox(QWidget* parent) : QComboBox(parent) {
  setEditable(true);
}

void TQELComboBox::setZzDefaultValue(const QString& value) {
  defaultValue_ = value;
  setEditText(value);
}

void TQELComboBox::LoadFromRegistry(Registry& registry) {
  if (const std::optional<std::string> stored = StoredValue(registry, zzRegPath, zzValueName)) {
    setEditText(QString::fromUtf8(stored->data(), static_cast<qsizetype>(stored->size())));
    return;
  }
  setEditText(defaultValue_);
  SaveToRegistry(registry);
}

void TQELComboBox::SaveToRegistry(Registry& registry) {
  registry.WriteText(Utf8(zzValueName), Utf8(currentText()), RegistryKeyOf(zzRegPath));
}

// ---------------------------------------------------------------------------

void LoadPersistedControls(QWidget* root, Registry& registry) {
  if (root != nullptr)
    WalkPersisted(root, registry, true);
}

void SavePersistedControls(QWidget* root, Registry& registry) {
  if (root != nullptr)
    WalkPersisted(root, registry, false);
}

}  // namespace rondo::gui
