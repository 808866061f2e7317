// The desktop program: one main window over the catalogue named in the
// user's settings.
#include <QApplication>

#include "gui/TMainForm.h"
#include "platform/environment.h"
#include "settings/registry.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Rondotheka"));
  QApplication::setOrganizationName(QStringLiteral("QEL Software"));
  QApplication::setApplicationVersion(QStringLiteral("4.4"));

  // A first argument "add" or "search" will open the scanning or the search
  // window directly; until those windows exist it is accepted and the main
  // window opens as usual.

  rondo::FileRegistry registry(rondo::platform::RegistryFilePath());
  rondo::gui::TMainForm window(registry);
  window.start();
  window.show();
  return app.exec();
}
