// SPDX-License-Identifier: GPL-3.0-or-later
// Renders every window of the program to PNG files, for the documentation
// and for a look at the windows without a desktop:
//
//   render_windows OUTPUT_FOLDER [FONT_SIZE [NAME_SUFFIX]]
//
// FONT_SIZE (points) is the font of every window and of the main window's
// lists; NAME_SUFFIX is added to every file name ("main-window@2x-16pt").
// The scale comes from Qt (QT_SCALE_FACTOR). A window that does not fit on
// the screen's available area is reported on the standard error.
//
// Runs on any Qt platform; scripts/render-windows uses "offscreen". The
// windows work on a small catalogue made here, with settings kept in
// memory, so nothing of the user's is read or changed.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QScreen>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "borrowed/borrowed_list.h"
#include "catalogue/format/byte_stream.h"
#include "catalogue/format/entry_builder.h"
#include "catalogue/format/records.h"
#include "gui/TDatabazeInfoForm.h"
#include "gui/TDuplicityForm.h"
#include "gui/TInfoForm.h"
#include "gui/TInformaceForm.h"
#include "gui/TKontrolaForm.h"
#include "gui/TLngINISupp.h"
#include "gui/TMainForm.h"
#include "gui/TMePujceneForm.h"
#include "gui/TOnForm.h"
#include "gui/TPosunDatForm.h"
#include "gui/TPrepocetForm.h"
#include "gui/TPrevodForm.h"
#include "gui/TPridaniCDForm.h"
#include "gui/TPujcitForm.h"
#include "gui/TRenameForm.h"
#include "gui/TSearchForm.h"
#include "gui/TSkupinaForm.h"
#include "gui/TSplashForm.h"
#include "gui/TSpravaSkupForm.h"
#include "gui/catalogue_watch.h"
#include "gui/disc_list_model.h"
#include "platform/linux_drives.h"
#include "platform/linux_file_tree.h"
#include "settings/group_kinds.h"
#include "settings/registry.h"
#include "shell/text.h"

namespace {

struct DiscInfo {
  const char* serial;
  const char* description;
  const char* groups;
  const char* lending;
  const char* label;
  std::uint32_t size;
};

rondo::CdHeader Header(const DiscInfo& disc, std::uint16_t files, std::uint16_t dirs) {
  rondo::CdHeader h;
  h.Serial.Set(rondo::ToCp1250(disc.serial));
  h.Description.Set(rondo::ToCp1250(disc.description));
  h.Groups.Set(rondo::ToCp1250(disc.groups));
  h.Lending.Set(rondo::ToCp1250(disc.lending));
  h.VolumeLabel.Set(rondo::ToCp1250(disc.label));
  if (disc.lending[0] != '\0')
    h.LendDate = 45290.6;
  h.Created = 45123.4375;
  h.Finished = h.Created + 142.0 / 86400.0;
  h.FileCount = files;
  h.DirCount = dirs;
  h.CdSize = disc.size;
  return h;
}

rondo::CatalogueItem Item(bool directory, const char* name, std::uint8_t level, std::uint32_t size,
                          const char* comment = "") {
  rondo::CatalogueItem item;
  item.directory = directory;
  item.record.Name.chars = rondo::ToCp1250(name).bytes;
  item.record.Comment.chars = rondo::ToCp1250(comment).bytes;
  item.record.Size = size;
  item.record.Attributes = directory ? 0x10 : 0x21;
  item.record.Time = 44927.5 + level * 3.25;
  item.record.Level = level;
  return item;
}

// A dozen discs, one of them with a real directory tree, and a multigroup.
void WriteCatalogue(const std::string& path) {
  rondo::FileStream file(path, rondo::FileStream::Mode::kReadWriteOrCreate);
  file.Truncate(0);
  file.Seek(0);
  rondo::WriteDatabaseHeader(file, rondo::DatabaseHeader::Current());
  auto write = [&file](const std::vector<std::uint8_t>& bytes) {
    file.Write(bytes.data(), bytes.size());
  };

  const std::vector<rondo::CatalogueItem> photos = {
      Item(true, "Dovolená 2023", 1, 48213504, "Chorvatsko^"),
      Item(false, "IMG_0001.jpg", 2, 3512320),
      Item(false, "IMG_0002.jpg", 2, 3298816),
      Item(false, "video.mp4", 2, 41402368, "Moře^"),
      Item(true, "Hory", 1, 20447232, "^Fotky"),
      Item(false, "panorama.png", 2, 20447232),
      Item(true, "Dokumenty", 1, 1203456),
      Item(false, "seznam.txt", 2, 2048, "Co vzít s sebou^"),
      Item(false, "mapa.pdf", 2, 1201408),
      Item(false, "čti mě.txt", 1, 912),
      Item(false, "album.zip", 1, 9437184, "Záloha alba^"),
      Item(false, "autorun.inf", 1, 64),
  };
  write(rondo::BuildCdEntry(
      Header({"3A41-9C02", "Fotky 2023", "Fotky", "", "FOTKY_2023", 79290368}, 9, 3), photos,
      true));

  const DiscInfo plain[] = {
      {"1B22-0A11", "Doom II", "Hry", "", "DOOM2", 421527552},
      {"1B22-0A12", "Matrix", "Filmy", "Pepa Novák", "MATRIX", 731906048},
      {"1B22-0A13", "Quake", "Hry", "Vráceno: 2.3.2024", "QUAKE", 389382144},
      {"1B22-0A14", "Smetana - Má vlast", "Hudba", "", "Audio CD", 648019968},
      {"1B22-0A15", "Záloha dokumentů 2022", "Zálohy", "", "ZALOHA22", 612368384},
      {"1B22-0A16", "Linux Debian 12", "Software", "", "Debian 12", 657457152},
      {"1B22-0A17", "Pelíšky", "Filmy", "Jana", "PELISKY", 702545920},
      {"1B22-0A18", "Učebnice angličtiny", "Výuka", "", "ENGLISH", 153092096},
  };
  // The backup holds copies of the documents, for the duplicates window.
  const std::vector<rondo::CatalogueItem> backup = {
      Item(true, "Cesty", 1, 1203456),
      Item(false, "mapa.pdf", 2, 1201408),
      Item(false, "Seznam.TXT", 2, 2048),
  };
  for (const DiscInfo& disc : plain) {
    rondo::CdHeader h = Header(disc, 120, 14);
    write(rondo::BuildCdEntry(
        h, std::string(disc.serial) == "1B22-0A15" ? backup : std::vector<rondo::CatalogueItem>{},
        true));
  }

  rondo::CdHeader archive =
      Header({"7C00-0001", "Archiv fotek", "Fotky;Zálohy", "", "Multi Group", 0}, 0, 0);
  rondo::MemberList members;
  members.Slots[0].Set(rondo::ToCp1250("7C00-0002"));
  write(rondo::BuildMultigroupEntry(archive, members));
  rondo::CdHeader part =
      Header({"7C00-0002", "Archiv fotek díl 1", "Fotky", "", "ARCH1", 524288000}, 800, 40);
  part.InMultigroup = 1;
  // Part of the photos again: the duplicates window has groups to show.
  const std::vector<rondo::CatalogueItem> archived = {
      Item(true, "2023", 1, 65363968),
      Item(false, "IMG_0001.jpg", 2, 3512320),
      Item(false, "video.mp4", 2, 41402368),
      Item(false, "panorama.png", 2, 20447232),
  };
  write(rondo::BuildCdEntry(part, archived, true));
  file.Sync();
}

QString g_suffix;

bool Save(QWidget& widget, const QDir& folder, const char* name) {
  if (!widget.isVisible())
    widget.show();
  QCoreApplication::processEvents();
  if (const QScreen* screen = widget.screen()) {
    const QRect area = screen->availableGeometry();
    const QRect frame = widget.frameGeometry();
    if (!area.contains(frame)) {
      std::fprintf(stderr, "render_windows: %s: %dx%d at %d,%d is not within the screen's %dx%d\n",
                   name, frame.width(), frame.height(), frame.x(), frame.y(), area.width(),
                   area.height());
    }
  }
  const QString path = folder.filePath(QString::fromLatin1(name) + g_suffix + ".png");
  if (!widget.grab().save(path)) {
    std::fprintf(stderr, "render_windows: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

int RowOf(const QAbstractItemModel& model, const QString& caption) {
  for (int row = 0; row < model.rowCount(); ++row) {
    if (model.data(model.index(row, 0)).toString() == caption)
      return row;
  }
  return -1;
}

void SelectRow(QTreeView* view, int row) {
  view->selectionModel()->select(view->model()->index(row, 0),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view->selectionModel()->setCurrentIndex(view->model()->index(row, 0),
                                          QItemSelectionModel::NoUpdate);
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: render_windows OUTPUT_FOLDER [FONT_SIZE [NAME_SUFFIX]]\n");
    return 2;
  }
  int fontSize = 0;
  if (argc >= 3) {
    fontSize = std::atoi(argv[2]);
    if (fontSize < 1 || fontSize > 200) {
      std::fprintf(stderr, "render_windows: %s is not a font size\n", argv[2]);
      return 2;
    }
    QFont font = QApplication::font();
    font.setPointSize(fontSize);
    QApplication::setFont(font);
  }
  if (argc == 4)
    g_suffix = QString::fromLocal8Bit(argv[3]);
  QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!folder.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "render_windows: cannot create %s\n", argv[1]);
    return 1;
  }
  QTemporaryDir work;
  if (!work.isValid())
    return 1;
  const std::string catalogue = work.filePath(QStringLiteral("katalog.big")).toStdString();
  bool ok = true;
  try {
    WriteCatalogue(catalogue);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "render_windows: %s\n", e.what());
    return 1;
  }

  rondo::MemoryRegistry registry;
  registry.WriteText("Cesta", catalogue);
  registry.WriteText("VerzeProgramu", rondo::gui::kApplicationTitle);
  if (fontSize > 0)
    registry.WriteText("VelikostFontu", std::to_string(fontSize));
  for (const char* group : {"Hry", "Filmy", "Hudba", "Fotky", "Zálohy", "Software", "Výuka"})
    rondo::RegisterGroup(registry, group);

  // The language file every window completes as it is made: with
  // RONDO_LANGUAGE_FOLDER set, the program's Czech template is written there.
  // Otherwise the shipped language files (beside this tool) are used, so
  // the windows look as the program's do, language menu included.
  QString languageFolder = work.path();
  if (const char* folderName = std::getenv("RONDO_LANGUAGE_FOLDER")) {
    languageFolder = QString::fromLocal8Bit(folderName);
  } else {
    const QDir own(QCoreApplication::applicationDirPath());
    for (const QString& name : own.entryList({QStringLiteral("*.lng")}, QDir::Files))
      QFile::copy(own.filePath(name), QDir(languageFolder).filePath(name));
  }
  rondo::gui::TLngINISupp language(languageFolder);
  language.warningHook = [](const QString&) {};
  language.setFileName(QStringLiteral("czech.lng"));

  {
    rondo::gui::TMainForm window(registry);
    window.splashMilliseconds = 0;
    window.quitOnClose = false;
    window.languageFolder = languageFolder;
    window.messageHook = [](const QString& text) {
      std::fprintf(stderr, "render_windows: %s\n", qPrintable(text));
    };
    window.resize(1000, 560);
    window.start();
    window.show();
    SelectRow(window.discView(), RowOf(*window.discModel(), QStringLiteral("Matrix")));
    ok = Save(window, folder, "main-window") && ok;

    SelectRow(window.discView(), RowOf(*window.discModel(), QStringLiteral("Fotky 2023")));
    window.openSelectedDisc();
    QTreeView* dirs = window.dirView();
    SelectRow(dirs, RowOf(*dirs->model(), QStringLiteral("Dovolená 2023")));
    window.openSelectedItem();
    SelectRow(dirs, RowOf(*dirs->model(), QStringLiteral("video.mp4")));
    ok = Save(window, folder, "main-window-browsing") && ok;

    rondo::gui::TDatabazeInfoForm info(
        window.engine(),
        [&window](rondo::OperationCode code) { window.engine().RunOperation(code); }, {}, &window);
    info.show();
    info.loadDetails();
    ok = Save(info, folder, "database-info") && ok;

    {
      rondo::gui::TSearchForm search(window.engine(), registry, &window);
      search.show();
      search.patternEdit()->setText(QStringLiteral("*.jpg"));
      search.startOrStop();
      ok = Save(search, folder, "search") && ok;
      search.hide();
    }

    {
      rondo::gui::TDuplicityForm duplicates(window.engine(), registry, &window);
      duplicates.show();
      duplicates.startOrStop();
      duplicates.resultView()->expandAll();
      ok = Save(duplicates, folder, "duplicates") && ok;
      duplicates.hide();
    }

    // A small folder stands for a disc in the drive.
    const QString disc = work.filePath(QStringLiteral("Dovolená 2023"));
    QDir(disc).mkpath(QStringLiteral("Fotky"));
    for (const char* name : {"Fotky/IMG_0001.jpg", "Fotky/IMG_0002.jpg", "čti mě.txt"}) {
      QFile file(disc + QLatin1Char('/') + QString::fromUtf8(name));
      if (file.open(QIODevice::WriteOnly))
        file.write(QByteArray(4096, 'x'));
    }
    rondo::platform::LinuxDrives drives;
    rondo::platform::LinuxFileTree tree;
    {
      rondo::gui::TPridaniCDForm adding(window.engine(), registry, drives, tree, &window);
      adding.messageHook = [](const QString&) {};
      adding.prepare();
      adding.show();
      adding.useFolder(disc);
      adding.mediaTimer()->stop();
      adding.nameEdit()->setText(QStringLiteral("Dovolená 2023"));
      ok = Save(adding, folder, "add-disc") && ok;
      for (int page = 1; page < adding.pages()->count(); ++page) {
        adding.pages()->setCurrentIndex(page);
        const std::string name = "add-disc-page" + std::to_string(page + 1);
        ok = Save(adding, folder, name.c_str()) && ok;
      }
      adding.hide();
    }
    {
      rondo::gui::TKontrolaForm check(drives, registry, &window);
      check.messageHook = [](const QString&) {};
      check.show();
      check.refreshTimer()->stop();
      check.addFolder(disc);
      check.startOrStop();
      ok = Save(check, folder, "surface-check") && ok;
      check.hide();
    }
    // Windows not pictured, made so their texts reach the language file.
    rondo::gui::TInformaceForm informace(&window);
    rondo::gui::TPrepocetForm recalculation(&window);
    window.close();
  }
  rondo::gui::SetMainLngSupp(&language);
  {
    const std::string list = work.filePath(QStringLiteral("mnoupujcene.big")).toStdString();
    rondo::AppendBorrowedDisc(list, {"Pán prstenů 1-3", "Filmy", "Jana", 46000.0, 3});
    rondo::AppendBorrowedDisc(list, {"Koncert Lucie", "Audio CD", "Pepa", 46010.0, 1});
    rondo::AppendBorrowedDisc(list, {"Windows 98", "Software", "Karel", 46020.0, 1});
    rondo::gui::TMePujceneForm borrowed(registry, list, {}, {});
    ok = Save(borrowed, folder, "borrowed-discs") && ok;
    rondo::gui::TPujceneCdForm entry(registry, list, {}, {});
    ok = Save(entry, folder, "borrowed-entry") && ok;
  }
  {
    rondo::gui::TPrevodForm conversion;
    conversion.setPath(QString::fromStdString(catalogue));
    ok = Save(conversion, folder, "conversion") && ok;
  }
  {
    rondo::gui::TPosunDatForm shift;
    shift.setProgress(0, 70, 100);
    shift.setProgress(1, 40, 100);
    ok = Save(shift, folder, "data-shift") && ok;
  }

  {
    rondo::gui::TSkupinaForm picker(registry);
    picker.setChosen({QStringLiteral("Hry"), QStringLiteral("Filmy")});
    ok = Save(picker, folder, "group-picker") && ok;
  }
  {
    rondo::gui::TSpravaSkupForm manager(registry);
    ok = Save(manager, folder, "group-management") && ok;
  }
  {
    rondo::gui::TRenameForm prompt;
    prompt.setText(QStringLiteral("Matrix - rozšířená verze"));
    ok = Save(prompt, folder, "name-prompt") && ok;
  }
  {
    rondo::gui::TPujcitForm prompt;
    prompt.setText(QStringLiteral("Pepa Novák"));
    ok = Save(prompt, folder, "one-line-prompt") && ok;
  }
  {
    rondo::gui::TOnForm settings(registry);
    settings.show();
    const char* const pages[] = {"settings-paths", "settings-fonts", "settings-options"};
    for (int page = 0; page < 3; ++page) {
      QTreeWidget* tree = settings.tree();
      if (page < tree->topLevelItemCount())
        tree->setCurrentItem(tree->topLevelItem(page));
      settings.pages()->setCurrentIndex(page);
      ok = Save(settings, folder, pages[page]) && ok;
    }
    settings.hide();
  }
  {
    rondo::gui::TSplashForm splash;
    ok = Save(splash, folder, "splash") && ok;
  }
  {
    QWidget owner;
    rondo::gui::LockWaitWindow waiting(&owner);
    waiting.KeepWaiting(catalogue, std::chrono::seconds(1));
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == QStringLiteral("LockWaitWindow") && w->isVisible())
        ok = Save(*w, folder, "lock-wait") && ok;
    }
  }
  const rondo::gui::ProgramFacts facts{QStringLiteral("~/.config/rondotheka/registry.ini"),
                                       QStringLiteral("~/.local/share/rondotheka/katalog.big"),
                                       QCoreApplication::applicationDirPath() + QLatin1Char('/')};
  {
    rondo::gui::TInfoForm info(rondo::gui::TInfoForm::Kind::kWhatsNew, facts);
    ok = Save(info, folder, "whats-new") && ok;
  }
  {
    rondo::gui::TInfoForm info(rondo::gui::TInfoForm::Kind::kAbout, facts);
    ok = Save(info, folder, "about") && ok;
  }
  rondo::gui::SetMainLngSupp(nullptr);
  return ok ? 0 : 1;
}
