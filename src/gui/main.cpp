// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program: one main window over the catalogue named in the
// user's settings (or, for one run, the catalogue named on the command
// line), adding discs from the machine's mounted volumes. An argument "add"
// starts with adding a disc, "search" with the search.
#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include "gui/TMainForm.h"
#include "gui/icon_cache.h"
#include "gui/start_arguments.h"
#include "platform/environment.h"
#include "platform/linux_drives.h"
#include "platform/linux_file_tree.h"
#include "settings/registry.h"
#include "version.h"

int main(int argc, char* argv[]) {
  using rondo::gui::StartArguments;
  // "--version" and "--help" are answered before Qt starts: no window, and
  // no display needed.
  const StartArguments early = rondo::gui::ParseStartArguments({argv + 1, argv + argc});
  if (early.action == StartArguments::Action::kHelp) {
    std::cout << rondo::gui::UsageText();
    return 0;
  }
  if (early.action == StartArguments::Action::kVersion) {
    std::cout << rondo::gui::VersionText();
    return 0;
  }
  QApplication app(argc, argv);
  // Qt has taken its own options ("-platform", "-style", ...) out by now.
  const StartArguments arguments = rondo::gui::ParseStartArguments({argv + 1, argv + argc});
  if (arguments.action == StartArguments::Action::kError) {
    std::cerr << "rondotheka: " << arguments.error << "\nNápověda: rondotheka --help\n";
    return 2;
  }
  QApplication::setApplicationName(QStringLiteral("Rondotheka"));
  QApplication::setOrganizationName(QStringLiteral("QEL Software"));
  QApplication::setApplicationVersion(QString::fromUtf8(rondo::kVersion));
  // Ties the windows to the installed desktop entry (its icon in the dock
  // on Wayland, where the window class does not count).
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.rondotheka.Rondotheka"));
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
  window.startFile = QString::fromLocal8Bit(QByteArray::fromStdString(arguments.file));
  window.startArgument = QString::fromStdString(arguments.command);
  window.start();
  window.show();
  return app.exec();
}
