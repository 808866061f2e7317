// SPDX-License-Identifier: GPL-3.0-or-later
// Small icons of the directory list. A catalogue may hold hundreds of
// thousands of files, so a file's icon is decided by its name's extension
// alone and looked up once per extension; every row with that extension
// shares the same QIcon.
#pragma once

#include <QFileIconProvider>
#include <QIcon>
#include <QMimeDatabase>
#include <QPainter>
#include <QString>
#include <functional>
#include <string_view>
#include <unordered_map>

namespace rondo::gui {

// An icon drawn by a function on a square of designSize × designSize
// logical units, scaled to whatever size and screen scale it is asked for,
// so it stays sharp at 150 % and 200 %. Disabled, it is drawn faded.
QIcon PaintedIcon(std::function<void(QPainter&)> draw, double designSize = 24.0);
// A transparent icon: rows without a picture take the same height and
// indent as rows with one.
QIcon BlankIcon();
// The disc list's pictures: a data disc, an audio disc, a multigroup.
QIcon DiscIcon();
QIcon AudioDiscIcon();
QIcon MultigroupIcon();
// The program's own picture: the window icon of every window.
QIcon ApplicationIcon();

class IconCache {
 public:
  IconCache();

  // The folder icon of ".." and of directories.
  const QIcon& folderIcon() const { return folder_; }
  // The plain file icon: files whose type is unknown get it.
  const QIcon& genericFileIcon() const { return file_; }
  // Nothing to see, the size of an icon.
  const QIcon& blankIcon() const { return blank_; }
  // The icon of a file named name (UTF-8, no path); built at the first
  // request for its extension.
  const QIcon& fileIcon(std::string_view name);

  // The extension a name is filed under: the text after the last ".",
  // lower-cased; "" for a name without one.
  static QString extensionOf(std::string_view name);
  // How many extensions have been looked up so far.
  std::size_t lookups() const { return byExtension_.size(); }

 private:
  QIcon lookUp(const QString& extension);

  QMimeDatabase mime_;
  QFileIconProvider provider_;
  QIcon folder_;
  QIcon file_;
  QIcon blank_ = BlankIcon();
  std::unordered_map<QString, QIcon> byExtension_;
};

// The small icon of a name as the desktop shows it: the folder for a
// directory, else the icon of the file's type. The name need not exist.
inline const QIcon& SmallShellIcon(IconCache& cache, std::string_view name, bool isDirectory) {
  return isDirectory ? cache.folderIcon() : cache.fileIcon(name);
}

}  // namespace rondo::gui
