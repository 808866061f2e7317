// The desktop program: one main window over the catalogue named in the
// user's settings. A first argument "add" starts with adding a disc,
// "search" with the search.
#include <QApplication>

#include "gui/TMainForm.h"
#include "platform/environment.h"
#include "settings/registry.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Rondotheka"));
  QApplication::setOrganizationName(QStringLiteral("QEL Software"));
  QApplication::setApplicationVersion(QStringLiteral("4.4"));
  rondo::platform::UseUserLocale();

  rondo::FileRegistry registry(rondo::platform::RegistryFilePath());
  rondo::gui::TMainForm window(registry);
  if (argc > 1)
    window.startArgument = QString::fromLocal8Bit(argv[1]);
  window.start();
  window.show();
  return app.exec();
}
