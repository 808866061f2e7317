// SPDX-License-Identifier: GPL-3.0-or-later
// The one-line text prompt: first written for lending ("Pujčit komu?"),
// re-captioned by the commands that need a single text from the user.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

#include "shell/typed_text.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace rondo::gui {

class TPujcitForm : public QDialog {
  Q_OBJECT

 public:
  explicit TPujcitForm(QWidget* parent = nullptr);

  void setCaption(const QString& caption);   // default "Pujčit komu?"
  void setFrameTitle(const QString& title);  // default "Půjčení CD"
  void setLabel(const QString& label);       // default "Komu:"
  QString text() const;
  void setText(const QString& text);
  // What the text is stored as: the edit takes at most the field's (or
  // width) characters and OK refuses, with the reason, a text the
  // catalogue cannot store.
  void setField(TypedField field, std::optional<std::size_t> width = std::nullopt);
  // Where a refusal is said; a warning box when empty.
  std::function<void(const QString& text)> messageHook;

  QGroupBox* frame() const { return frame_; }
  QLabel* label() const { return label_; }
  QLineEdit* edit() const { return edit_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }  // "Storno"

 protected:
  void accept() override;

 private:
  std::optional<TypedField> field_;
  std::optional<std::size_t> width_;
  QGroupBox* frame_ = nullptr;
  QLabel* label_ = nullptr;
  QLineEdit* edit_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace rondo::gui
