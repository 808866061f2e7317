// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TOnForm.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QStackedWidget>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <exception>
#include <string>
#include <vector>

#include "gui/QELControls.h"
#include "gui/TLngINISupp.h"
#include "platform/environment.h"
#include "settings/group_kinds.h"

namespace rondo::gui {

namespace {

constexpr int kWidth = 560;
constexpr int kHeight = 346;
constexpr int kPageCount = 3;
constexpr int kMarqueeMs = 100;

const char* const kLanguageNote =
    "Language support: every text of Rondotheka can come from a language file.\n"
    "Czech is built in; further languages are files whose names end in \".lng\".\n"
    "To translate the interface, copy a .lng file under the name of your language\n"
    "and translate the text after each \"=\", leaving the names before it as they are.\n"
    "Translations into new languages are most welcome -\n"
    "please share your .lng file with the other users of Rondotheka.";

template <typename Control>
Control* Persisted(Control* control, const char* valueName) {
  control->zzRegPath = ProgramRegPath();
  control->zzValueName = QString::fromLatin1(valueName);
  return control;
}

}  // namespace

TOnForm::TOnForm(Registry& registry, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      registry_(registry) {
  setObjectName(QStringLiteral("TOnForm"));
  setModal(true);
  setWindowTitle(QStringLiteral("Nastaveni"));

  tree_ = new QTreeWidget(this);
  tree_->setObjectName(QStringLiteral("pageTree"));
  tree_->setHeaderHidden(true);
  tree_->setRootIsDecorated(false);
  tree_->setColumnCount(1);
  tree_->setFixedWidth(130);
  for (const QString& name :
       {QStringLiteral("Cesty"), QStringLiteral("Fonty"), QStringLiteral("Volitelné")})
    tree_->addTopLevelItem(new QTreeWidgetItem(QStringList{name}));

  pages_ = new QStackedWidget(this);
  pages_->setObjectName(QStringLiteral("pages"));

  // Paths.
  auto* pathsPage = new QWidget(pages_);
  auto* paths = new QGroupBox(QStringLiteral("nastaveni cest"), pathsPage);
  databasePath_ = Persisted(new TQELComboBox(paths), "Cesta");
  databasePath_->setObjectName(QStringLiteral("databasePath"));
  // Windows installations offered "C:\CDIfo.big"; here the catalogue lives
  // in the user's data folder unless the user picks another place.
  databasePath_->setZzDefaultValue(QString::fromStdString(platform::DefaultCataloguePath()));
  browse_ = new QPushButton(QStringLiteral("..."), paths);
  browse_->setAutoDefault(false);
  browse_->setFixedWidth(32);
  startGroup_ = Persisted(new TQELComboBox(paths), "ZobrazitSkupinu");
  startGroup_->setObjectName(QStringLiteral("startGroup"));
  std::vector<std::string> groups;
  try {
    groups = ReadGroupList(registry_);
  } catch (const std::exception& e) {
    qWarning("Group list unreadable: %s", e.what());
  }
  for (const std::string& group : groups)
    startGroup_->addItem(QString::fromStdString(group));
  // After the items, which would otherwise take over the edit text.
  startGroup_->setZzDefaultValue(QStringLiteral("All"));
  note_ = new QTextEdit(paths);
  note_->setObjectName(QStringLiteral("languageNote"));
  note_->setReadOnly(true);
  note_->setToolTip(QStringLiteral("Informace o verzích"));
  note_->setPlainText(QString::fromUtf8(kLanguageNote));
  note_->setTabChangesFocus(true);  // read only: Tab moves on

  auto* pathsGrid = new QGridLayout(paths);
  pathsGrid->addWidget(new QLabel(QStringLiteral("Při spuštění otevřít:"), paths), 0, 0, 1, 2);
  pathsGrid->addWidget(databasePath_, 1, 0);
  pathsGrid->addWidget(browse_, 1, 1);
  pathsGrid->addWidget(new QLabel(QStringLiteral("Zobrazit skupinu:"), paths), 2, 0, 1, 2);
  pathsGrid->addWidget(startGroup_, 3, 0);
  pathsGrid->addWidget(note_, 4, 0, 1, 2);
  pathsGrid->setRowStretch(4, 1);
  auto* pathsLayout = new QVBoxLayout(pathsPage);
  pathsLayout->setContentsMargins(0, 0, 0, 0);
  pathsLayout->addWidget(paths);
  pages_->addWidget(pathsPage);

  // Fonts.
  auto* fontsPage = new QWidget(pages_);
  auto* fonts = new QGroupBox(QStringLiteral("Nastavení barev"), fontsPage);
  fontSize_ = Persisted(new TQELSpinEdit(fonts), "VelikostFontu");
  fontSize_->setObjectName(QStringLiteral("fontSize"));
  fontSize_->setRange(1, 200);
  fontSize_->setZzDefaultValue(8);
  auto* fontsGrid = new QGridLayout(fonts);
  fontsGrid->addWidget(new QLabel(QStringLiteral("Velikost fontu:"), fonts), 0, 0);
  fontsGrid->addWidget(fontSize_, 0, 1);
  fontsGrid->setColumnStretch(2, 1);
  fontsGrid->setRowStretch(1, 1);
  auto* fontsLayout = new QVBoxLayout(fontsPage);
  fontsLayout->setContentsMargins(0, 0, 0, 0);
  fontsLayout->addWidget(fonts);
  pages_->addWidget(fontsPage);

  // Options.
  auto* optionsPage = new QWidget(pages_);
  auto* options = new QGroupBox(QStringLiteral("Volitelné"), optionsPage);
  showBorrowed_ = Persisted(
      new TQELCheckBox(QStringLiteral("Zobrazovat okno \"Mé půjčené\" CD při startu."), options),
      "ZobrazovatMePujcene");
  showBorrowed_->setObjectName(QStringLiteral("showBorrowed"));
  showBorrowed_->setZzDefaultChecked(false);
  maximizeSearch_ = Persisted(
      new TQELCheckBox(QStringLiteral("Formůlář vyhledávání při otevření maximalizovat."), options),
      "MaximalizovatHledani");
  maximizeSearch_->setObjectName(QStringLiteral("maximizeSearch"));
  maximizeSearch_->setZzDefaultChecked(false);
  auto* optionsBox = new QVBoxLayout(options);
  optionsBox->addWidget(showBorrowed_);
  optionsBox->addWidget(maximizeSearch_);
  optionsBox->addStretch(1);
  auto* optionsLayout = new QVBoxLayout(optionsPage);
  optionsLayout->setContentsMargins(0, 0, 0, 0);
  optionsLayout->addWidget(options);
  pages_->addWidget(optionsPage);

  previous_ = new QPushButton(QStringLiteral("<"), this);
  previous_->setAutoDefault(false);
  previous_->setFixedWidth(32);
  next_ = new QPushButton(QStringLiteral(">"), this);
  next_->setAutoDefault(false);
  next_->setFixedWidth(32);
  ok_ = new QPushButton(QStringLiteral("O.K."), this);
  ok_->setDefault(true);

  auto* top = new QHBoxLayout();
  top->addWidget(tree_);
  top->addWidget(pages_, 1);
  auto* bottom = new QHBoxLayout();
  bottom->addWidget(previous_);
  bottom->addWidget(next_);
  bottom->addStretch(1);
  bottom->addWidget(ok_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(bottom);

  // The page shown is the one whose number equals the number of tree nodes
  // before the selected node; the nodes are all top-level.
  connect(tree_, &QTreeWidget::itemSelectionChanged, this, [this] {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    if (selected.isEmpty())
      return;
    const int page = tree_->indexOfTopLevelItem(selected.first());
    if (page >= 0 && page < pages_->count())
      pages_->setCurrentIndex(page);
  });
  auto step = [this](int by) {
    const int page = (pages_->currentIndex() + by + kPageCount) % kPageCount;
    pages_->setCurrentIndex(page);
    tree_->setCurrentItem(tree_->topLevelItem(page));
  };
  connect(previous_, &QPushButton::clicked, this, [step] { step(-1); });
  connect(next_, &QPushButton::clicked, this, [step] { step(+1); });

  connect(browse_, &QPushButton::clicked, this, [this] {
    const QString current = databasePath_->currentText();
    const QString chosen =
        chooseFile ? chooseFile()
                   : QFileDialog::getOpenFileName(this, QString(), QFileInfo(current).path());
    if (!chosen.isEmpty())
      databasePath_->setEditText(chosen);
  });

  connect(ok_, &QPushButton::clicked, this, [this] {
    if (databasePath_->currentText().isEmpty()) {
      const QString message = QStringLiteral("Cesta musí existovat!");
      if (messageHook)
        messageHook(message);
      else
        QMessageBox::warning(this, windowTitle(), message);
    }
    // Closed either way; the controls are saved as they are (accept).
    accept();
  });

  pages_->setCurrentIndex(0);
  tree_->setCurrentItem(tree_->topLevelItem(0));

  setFixedSize(kWidth, kHeight);
  // Over its owner QDialog centres itself; alone it goes to the screen's
  // middle.
  if (parent == nullptr) {
    if (const QScreen* screen = this->screen())
      move(screen->availableGeometry().center() - rect().center());
  }
  ApplyLanguage(this);
}

void TOnForm::accept() {
  // A window that never showed never loaded its controls: saving them would
  // put the defaults over the stored values.
  if (loaded_) {
    try {
      SavePersistedControls(this, registry_);
    } catch (const std::exception& e) {
      qWarning("Settings not saved: %s", e.what());
    }
  }
  QDialog::accept();
}

void TOnForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (loaded_)
    return;
  loaded_ = true;
  try {
    LoadPersistedControls(this, registry_);
  } catch (const std::exception& e) {
    qWarning("Settings not loaded: %s", e.what());
  }
  // The note scrolls slowly by itself, starting over at its end.
  auto* marquee = new QTimer(this);
  marquee->setInterval(kMarqueeMs);
  connect(marquee, &QTimer::timeout, this, [this] {
    QScrollBar* bar = note_->verticalScrollBar();
    if (bar->maximum() <= bar->minimum())
      return;
    bar->setValue(bar->value() >= bar->maximum() ? bar->minimum() : bar->value() + 1);
  });
  marquee->start();
}

}  // namespace rondo::gui
