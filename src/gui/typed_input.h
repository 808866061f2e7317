// SPDX-License-Identifier: GPL-3.0-or-later
// Edit fields for texts the catalogue stores: they take no more characters
// than the field holds (code page 1250 has one byte per character), and
// their window refuses, with the reason, what cannot be stored at all.
#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "shell/typed_text.h"

class QLineEdit;
class QWidget;

namespace rondo::gui {

void LimitToField(QLineEdit* edit, TypedField field, std::optional<std::size_t> width = {});

// True when text can be stored; otherwise says why (through say, or in a
// warning box over parent) and returns false.
bool StorableOrSay(QWidget* parent, const QString& text, TypedField field,
                   std::optional<std::size_t> width,
                   const std::function<void(const QString&)>& say);

}  // namespace rondo::gui
