// SPDX-License-Identifier: GPL-3.0-or-later
// Exporting a list of a window (the disc list, a browsed directory, the
// search results) to a CSV file or a self-contained HTML page: the save
// dialog, the last folder used, and the file written whole or not at all.
// The rows themselves are formatted by the core (catalogue/export.h), the
// same as rondotheka-cli --format writes them.
#pragma once

#include <QString>
#include <functional>
#include <span>

#include "catalogue/export.h"

class QWidget;

namespace rondo {
class Registry;
}

namespace rondo::gui {

// Asks where the export goes, proposing a path; "" when the user cancelled.
using ExportFileChooser = std::function<QString(const QString& proposed)>;

struct ExportRequest {
  QString title;     // the dialog's caption and the HTML page's title
  QString baseName;  // the proposed file name, without its ending
  std::span<const ExportField> fields;
  // Writes the rows into the writer, in the list's order.
  std::function<void(ExportWriter&)> rows;
};

// Asks for the file (the save dialog, or choose when given), writes CSV or,
// for a name ending in .html or .htm, HTML, and remembers the folder for the
// next export. Returns "" when done or cancelled, else the message to show.
QString ExportList(QWidget* parent, Registry& registry, const ExportRequest& request,
                   const ExportFileChooser& choose = {});

}  // namespace rondo::gui
