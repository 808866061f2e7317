// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/export_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <exception>

#include "settings/registry.h"

namespace rondo::gui {

namespace {

// The folder of the last export, kept in the settings.
constexpr const char* kFolderSetting = "SlozkaExportu";

constexpr const char* kCsvFilter = "Tabulka CSV (*.csv)";
constexpr const char* kHtmlFilter = "Stránka HTML (*.html *.htm)";

}  // namespace

QString ExportList(QWidget* parent, Registry& registry, const ExportRequest& request,
                   const ExportFileChooser& choose) {
  QString folder = QString::fromStdString(registry.ReadText(kFolderSetting));
  if (folder.isEmpty() || !QDir(folder).exists())
    folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  const QString proposed = QDir(folder).filePath(request.baseName + QStringLiteral(".csv"));
  QString path;
  if (choose) {
    path = choose(proposed);
  } else {
    QString filter = QString::fromUtf8(kCsvFilter);
    path = QFileDialog::getSaveFileName(
        parent, request.title, proposed,
        QString::fromUtf8(kCsvFilter) + QStringLiteral(";;") + QString::fromUtf8(kHtmlFilter),
        &filter);
    // A name typed without an ending gets the one of the chosen kind.
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
      path += filter == QString::fromUtf8(kHtmlFilter) ? QStringLiteral(".html")
                                                       : QStringLiteral(".csv");
  }
  if (path.isEmpty())
    return {};
  const QString suffix = QFileInfo(path).suffix().toLower();
  const ExportFormat format = suffix == QStringLiteral("html") || suffix == QStringLiteral("htm")
                                  ? ExportFormat::kHtml
                                  : ExportFormat::kCsv;
  try {
    WriteExportFile(path.toStdString(), [&](std::ostream& out) {
      ExportWriter writer(out, format, request.fields, request.title.toStdString());
      request.rows(writer);
      writer.Finish();
    });
  } catch (const std::exception& e) {
    return QStringLiteral("Export do souboru „") + path +
           QStringLiteral("“ se nepodařil, soubor nebyl uložen: ") + QString::fromUtf8(e.what());
  }
  try {
    registry.WriteText(kFolderSetting, QFileInfo(path).absolutePath().toStdString());
  } catch (const std::exception&) {
    // The export is written; only the folder is not remembered.
  }
  return {};
}

}  // namespace rondo::gui
