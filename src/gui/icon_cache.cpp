#include "gui/icon_cache.h"

#include <QApplication>
#include <QMimeType>
#include <QStyle>

namespace rondo::gui {

IconCache::IconCache() {
  folder_ = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
  file_ = provider_.icon(QAbstractFileIconProvider::File);
}

QString IconCache::extensionOf(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos)
    return {};
  const std::string_view extension = name.substr(dot + 1);
  return QString::fromUtf8(extension.data(), static_cast<qsizetype>(extension.size())).toLower();
}

const QIcon& IconCache::fileIcon(std::string_view name) {
  const QString extension = extensionOf(name);
  auto found = byExtension_.find(extension);
  if (found == byExtension_.end())
    found = byExtension_.emplace(extension, lookUp(extension)).first;
  return found->second;
}

QIcon IconCache::lookUp(const QString& extension) {
  if (extension.isEmpty())
    return file_;
  // Only the name is consulted; the file itself is on a disc that is not
  // in the drive.
  const QMimeType type =
      mime_.mimeTypeForFile(QStringLiteral("x.") + extension, QMimeDatabase::MatchExtension);
  if (!type.isValid() || type.isDefault())
    return file_;
  QIcon icon = QIcon::fromTheme(type.iconName());
  if (icon.isNull())
    icon = QIcon::fromTheme(type.genericIconName());
  return icon.isNull() ? file_ : icon;
}

}  // namespace rondo::gui
