// SPDX-License-Identifier: GPL-3.0-or-later
// The name prompt: one edit field with "OK" and "Cancel". Callers may
// change the caption and the label. Every result other than Cancel takes the
// text as typed (no trimming, empty allowed).
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

#include "shell/typed_text.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace rondo::gui {

class TRenameForm : public QDialog {
  Q_OBJECT

 public:
  explicit TRenameForm(QWidget* parent = nullptr);

  void setCaption(const QString& caption);  // default "Nové jméno..."
  void setLabel(const QString& label);      // default "Nové jméno:"
  QString text() const;
  void setText(const QString& text);
  // What the name is stored as: at most the field's characters, and OK
  // refuses, with the reason, what the catalogue cannot store.
  void setField(TypedField field);
  // Where a refusal is said; a warning box when empty.
  std::function<void(const QString& text)> messageHook;

  QLabel* label() const { return label_; }
  QLineEdit* edit() const { return edit_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }

  // Shows the prompt modally; nullopt when it ended with Cancel.
  static std::optional<QString> ask(QWidget* parent, const QString& caption, const QString& label,
                                    const QString& text = QString(),
                                    std::optional<TypedField> field = std::nullopt);

 protected:
  void accept() override;

 private:
  std::optional<TypedField> field_;
  QLabel* label_ = nullptr;
  QLineEdit* edit_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace rondo::gui
