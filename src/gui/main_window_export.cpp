// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's exports: the disc list as shown ("Exportovat seznam
// CD...") and the browsed directory ("Exportovat seznam...").
#include "gui/TMainForm.h"
#include "gui/export_dialogs.h"

namespace rondo::gui {

void TMainForm::exportDiscs() {
  const ExportRequest request{QStringLiteral("Export seznamu CD"), QStringLiteral("Seznam CD"),
                              DiscExportFields(), [this](ExportWriter& rows) {
                                for (const auto& row : engine_.Discs.rows) {
                                  if (IsExportedDiscRow(row))
                                    rows.Row(DiscExportRow(row));
                                }
                              }};
  const QString problem = ExportList(this, registry_, request, exportFileHook);
  if (!problem.isEmpty())
    ShowMessage(problem.toStdString());
}

void TMainForm::exportItems() {
  const ExportRequest request{QStringLiteral("Export seznamu adresáře"), QStringLiteral("Adresář"),
                              DirExportFields(), [this](ExportWriter& rows) {
                                for (const auto& row : engine_.Dirs.rows) {
                                  if (IsExportedDirRow(row))
                                    rows.Row(DirExportRow(row));
                                }
                              }};
  const QString problem = ExportList(this, registry_, request, exportFileHook);
  if (!problem.isEmpty())
    ShowMessage(problem.toStdString());
}

}  // namespace rondo::gui
