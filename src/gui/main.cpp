// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program: one main window over the catalogue named in the
// user's settings, adding discs from the machine's mounted volumes. A first
// argument "add" starts with adding a disc, "search" with the search.
#include <QApplication>

#include "gui/TMainForm.h"
#include "gui/icon_cache.h"
#include "platform/environment.h"
#include "platform/linux_drives.h"
#include "platform/linux_file_tree.h"
#include "settings/registry.h"
#include "version.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Rondotheka"));
  QApplication::setOrganizationName(QStringLiteral("QEL Software"));
  QApplication::setApplicationVersion(QString::fromUtf8(rondo::kVersion));
  // Every window shows the program's own picture.
  QApplication::setWindowIcon(rondo::gui::ApplicationIcon());
  rondo::platform::UseUserLocale();

  rondo::FileRegistry registry(rondo::platform::RegistryFilePath());
  // The drives and the file listing outlive the window that uses them.
  rondo::platform::LinuxDrives drives;
  rondo::platform::LinuxFileTree tree;
  rondo::gui::TMainForm window(registry);
  window.setDrives(&drives);
  window.setFileTree(&tree);
  if (argc > 1)
    window.startArgument = QString::fromLocal8Bit(argv[1]);
  window.start();
  window.show();
  return app.exec();
}
