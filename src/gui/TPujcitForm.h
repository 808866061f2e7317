// The one-line text prompt: first written for lending ("Pujčit komu?"),
// re-captioned by the commands that need a single text from the user.
#pragma once

#include <QDialog>
#include <QString>
#include <optional>

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

  QGroupBox* frame() const { return frame_; }
  QLabel* label() const { return label_; }
  QLineEdit* edit() const { return edit_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }  // "Storno"

 private:
  QGroupBox* frame_ = nullptr;
  QLabel* label_ = nullptr;
  QLineEdit* edit_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace rondo::gui
