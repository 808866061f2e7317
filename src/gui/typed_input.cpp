// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/typed_input.h"

#include <QLineEdit>
#include <QMessageBox>

#include "gui/qt_text.h"

namespace rondo::gui {

void LimitToField(QLineEdit* edit, TypedField field, std::optional<std::size_t> width) {
  edit->setMaxLength(static_cast<int>(width.value_or(FieldWidth(field))));
}

bool StorableOrSay(QWidget* parent, const QString& text, TypedField field,
                   std::optional<std::size_t> width,
                   const std::function<void(const QString&)>& say) {
  const std::string refusal = TypedTextRefusal(ToUtf8(text), field, width);
  if (refusal.empty())
    return true;
  if (say)
    say(FromUtf8(refusal));
  else
    QMessageBox::warning(parent, parent->windowTitle(), FromUtf8(refusal));
  return false;
}

}  // namespace rondo::gui
