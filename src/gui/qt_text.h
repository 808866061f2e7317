// SPDX-License-Identifier: GPL-3.0-or-later
// The program keeps its texts in UTF-8 std::strings; Qt wants QStrings.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace rondo {

inline QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToUtf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace rondo
