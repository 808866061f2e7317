// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's "Duplicity..." command: the duplicates window, whose
// copies are shown in their folders here.
#include "gui/TDuplicityForm.h"
#include "gui/TMainForm.h"

namespace rondo::gui {

void TMainForm::showDuplicates() {
  guarded([this] {
    // Kept with its groups for the next opening, until another catalogue
    // is opened.
    if (duplicityForm_ == nullptr) {
      duplicityForm_ = new TDuplicityForm(engine_, registry_, this);
      duplicityForm_->showCopy = [this](const SearchResults::Place& place) { showPlace(place); };
    }
    if (duplicatesHook) {
      duplicatesHook(*duplicityForm_);
      return;
    }
    duplicityForm_->exec();
  });
}

}  // namespace rondo::gui
