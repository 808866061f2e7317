// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's start-up and the windows it opens itself: the
// settings window on a first start and for a missing catalogue (driven as
// the user would drive it), the splash, group management and the
// information windows.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeView>
#include <QtTest>
#include <functional>
#include <memory>

#include "gui/QELControls.h"
#include "gui/TInfoForm.h"
#include "gui/TMainForm.h"
#include "gui/TOnForm.h"
#include "gui/TRenameForm.h"
#include "gui/TSplashForm.h"
#include "gui/TSpravaSkupForm.h"
#include "gui/disc_list_model.h"
#include "gui/start_arguments.h"
#include "platform/environment.h"
#include "settings/registry.h"
#include "support/catalogue_builder.h"

using rondo::gui::TInfoForm;
using rondo::gui::TMainForm;
using rondo::gui::TOnForm;

namespace {

constexpr const char* kTitle = "QEL Rondotheka 4.4";

// Plays the user at modal windows: every window that becomes the active
// modal one is handed to `handle` once, however often it comes back on top. The handler queues its
// clicks so a window it opens in turn is met the same way.
class ModalDriver : public QObject {
 public:
  explicit ModalDriver(std::function<void(QWidget*)> handle) : handle_(std::move(handle)) {
    connect(&timer_, &QTimer::timeout, this, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr || handled_.contains(modal))
        return;
      handled_ << modal;
      ++seen;
      handle_(modal);
    });
    timer_.start(5);
  }

  int seen = 0;

 private:
  std::function<void(QWidget*)> handle_;
  QTimer timer_;
  QList<QPointer<QWidget>> handled_;
};

void QueueClick(QAbstractButton* button) {
  QTimer::singleShot(0, button, [button] { QTest::mouseClick(button, Qt::LeftButton); });
}

// Key presses that carry their text, so letters beyond ASCII can be typed.
void TypeText(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(widget, &press);
    QCoreApplication::sendEvent(widget, &release);
  }
}

// Types text into an editable box as the user would, replacing what it
// held.
void TypeInto(QComboBox* box, const QString& text) {
  box->lineEdit()->selectAll();
  QTest::keyClick(box->lineEdit(), Qt::Key_Delete);
  TypeText(box->lineEdit(), text);
}

struct Fixture {
  QTemporaryDir dir;
  rondo::MemoryRegistry registry;
  std::unique_ptr<TMainForm> window;
  QStringList messages;

  QString path(const QString& name) const { return dir.filePath(name); }

  void writeCatalogue(const QString& name) {
    rondo::test::DiscSpec disc;
    disc.serial = "1111-0001";
    disc.description = "Hudba";
    disc.groups = "Hry";
    rondo::test::CatalogueBytes().AddDisc(disc).Save(path(name).toStdString());
  }

  void createWindow(int splash = 0) {
    window = std::make_unique<TMainForm>(registry);
    window->splashMilliseconds = splash;
    window->quitOnClose = false;
    window->messageHook = [this](const QString& text) { messages << text; };
  }
};

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void firstStartAsksForTheCatalogueInTheSettings();
  void emptyAnswerLeavesThePathEmptyAndTheWindowUsable();
  void firstStartOnAnEmptyHomeCreatesTheProposedCatalogue();
  void newVersionOpensTheSettingsOnce();
  void startWritesItsSettingsAndFindsItsFolder();
  void settingsCommandAppliesTheFontSize();
  void groupManagementRebuildsTheGroupMenu();
  void informationWindowsTellWhereThingsAre();
  void splashIsUpWhileTheStartRuns();
  void aCatalogueOnTheCommandLineOpensForThisRunOnly();
  void commandLineArguments_data();
  void commandLineArguments();

 private:
  QTemporaryDir settingsDir_;
};

void StartupTest::initTestCase() {
  QVERIFY(settingsDir_.isValid());
  qputenv("RONDOTHEKA_REGISTRY", settingsDir_.filePath("registry.ini").toUtf8());
}

void StartupTest::firstStartAsksForTheCatalogueInTheSettings() {
  Fixture f;
  f.registry.WriteText("VerzeProgramu", kTitle);
  const QString typed = f.path("moje sbírka.big");
  ModalDriver user([&](QWidget* modal) {
    auto* settings = qobject_cast<TOnForm*>(modal);
    if (settings == nullptr) {
      modal->close();
      return;
    }
    TypeInto(settings->databasePath(), typed);
    QueueClick(settings->okButton());
  });
  f.createWindow();
  f.window->start();

  QCOMPARE(user.seen, 1);
  QCOMPARE(f.messages.size(), 1);
  QCOMPARE(f.messages[0], QString::fromUtf8(rondo::gui::kNoDatabasePrompt));
  QVERIFY(f.messages[0].contains("\r\n"));
  QCOMPARE(QString::fromStdString(f.registry.ReadText("Cesta")), typed);
  QCOMPARE(QString::fromStdString(f.window->engine().DatabasePath), typed);
  // The new catalogue is created and listed.
  QCOMPARE(QFileInfo(typed).size(), qint64(75));
  QCOMPARE(f.window->windowTitle(), QString("QEL Rondotheka - moje sbírka.big"));
  QCOMPARE(f.window->databaseSizeLabel()->text(), QString("75 B"));
  QCOMPARE(f.window->discCountLabel()->text(), QString("0"));
}

void StartupTest::emptyAnswerLeavesThePathEmptyAndTheWindowUsable() {
  Fixture f;
  f.registry.WriteText("VerzeProgramu", kTitle);
  QStringList boxes;
  ModalDriver user([&boxes](QWidget* modal) {
    if (auto* settings = qobject_cast<TOnForm*>(modal)) {
      TypeInto(settings->databasePath(), QString());
      QueueClick(settings->okButton());
    } else {
      // The settings window's own warning about the empty path.
      if (auto* box = qobject_cast<QMessageBox*>(modal))
        boxes << box->text();
      modal->close();
    }
  });
  f.createWindow();
  f.window->start();
  f.window->show();
  QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));

  QCOMPARE(boxes, QStringList{"Cesta musí existovat!"});
  QVERIFY(f.registry.ReadText("Cesta").empty());
  QVERIFY(f.window->engine().DatabasePath.empty());
  QCOMPARE(f.messages.size(), 2);
  QCOMPARE(f.messages[1], QString("Chyba: Není nastavena cesta k databázi."));
  QCOMPARE(f.window->windowTitle(), QString("QEL Rondotheka - "));

  f.writeCatalogue("katalog.big");
  f.window->chooseDatabaseFile = [&f](bool) { return f.path("katalog.big"); };
  f.window->openDatabaseAction()->trigger();
  QCOMPARE(f.window->discModel()->rowCount(), 1);
  QCOMPARE(f.messages.size(), 2);
}

void StartupTest::firstStartOnAnEmptyHomeCreatesTheProposedCatalogue() {
  Fixture f;
  f.registry.WriteText("VerzeProgramu", kTitle);
  const QByteArray home = qgetenv("HOME");
  const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
  qputenv("HOME", f.path("domov").toUtf8());
  qunsetenv("XDG_DATA_HOME");
  // The settings propose the catalogue in the user's data folder, which
  // does not exist yet; the user only presses "O.K.".
  QString proposed;
  ModalDriver user([&proposed](QWidget* modal) {
    auto* settings = qobject_cast<TOnForm*>(modal);
    if (settings == nullptr) {
      modal->close();
      return;
    }
    proposed = settings->databasePath()->currentText();
    QueueClick(settings->okButton());
  });
  f.createWindow();
  f.window->start();
  qputenv("HOME", home);
  if (!dataHome.isEmpty())
    qputenv("XDG_DATA_HOME", dataHome);

  const QString catalogue = f.path("domov/.local/share/rondotheka/katalog.big");
  QCOMPARE(proposed, catalogue);
  QCOMPARE(f.messages, QStringList{QString::fromUtf8(rondo::gui::kNoDatabasePrompt)});
  QCOMPARE(QFileInfo(catalogue).size(), qint64(75));
  QCOMPARE(f.window->databaseSizeLabel()->text(), QString("75 B"));

  // "Nová databáze..." in folders that are not there yet makes them too.
  const QString nested = f.path("nové/sbírky/hudba.big");
  f.window->chooseDatabaseFile = [&nested](bool) { return nested; };
  f.window->newDatabaseAction()->trigger();
  QCOMPARE(QFileInfo(nested).size(), qint64(75));
  QCOMPARE(f.window->windowTitle(), QString("QEL Rondotheka - hudba.big"));
  QCOMPARE(f.messages.size(), 1);

  // Where no folder can be made, the window says so and keeps the open one.
  QFile blocker(f.path("soubor"));
  QVERIFY(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const QString impossible = f.path("soubor/sbírka/x.big");
  f.window->chooseDatabaseFile = [&impossible](bool) { return impossible; };
  f.window->newDatabaseAction()->trigger();
  QCOMPARE(f.messages.size(), 2);
  QVERIFY2(f.messages[1].startsWith("Chyba: databázi „" + impossible + "“ nelze vytvořit: složku"),
           qPrintable(f.messages[1]));
  QCOMPARE(QString::fromStdString(f.window->engine().DatabasePath), nested);
  QCOMPARE(f.window->windowTitle(), QString("QEL Rondotheka - hudba.big"));
}

void StartupTest::newVersionOpensTheSettingsOnce() {
  Fixture f;
  f.writeCatalogue("katalog.big");
  f.registry.WriteText("Cesta", f.path("katalog.big").toStdString());
  QStringList pages;
  ModalDriver user([&](QWidget* modal) {
    auto* settings = qobject_cast<TOnForm*>(modal);
    if (settings == nullptr) {
      modal->close();
      return;
    }
    // The path the settings show is the one in use.
    pages << settings->databasePath()->currentText();
    QueueClick(settings->okButton());
  });
  f.createWindow();
  f.window->start();
  QCOMPARE(user.seen, 1);
  QCOMPARE(pages, QStringList{f.path("katalog.big")});
  QCOMPARE(f.registry.ReadText("VerzeProgramu"), std::string(kTitle));
  QVERIFY(f.messages.isEmpty());
  QCOMPARE(f.window->discModel()->rowCount(), 1);

  // The second start of the same version goes straight to the list; an
  // older version noted counts as a new one.
  f.createWindow();
  f.window->start();
  QCOMPARE(user.seen, 1);
  QCOMPARE(f.window->discModel()->rowCount(), 1);
  f.registry.WriteText("VerzeProgramu", "QEL Rondotheka 4.3");
  f.createWindow();
  f.window->start();
  QCOMPARE(user.seen, 2);
}

void StartupTest::startWritesItsSettingsAndFindsItsFolder() {
  Fixture f;
  f.writeCatalogue("katalog.big");
  f.registry.WriteText("Cesta", f.path("katalog.big").toStdString());
  f.registry.WriteText("VerzeProgramu", kTitle);
  f.createWindow();
  f.window->start();
  const std::string program = rondo::platform::ProgramPath();
  QCOMPARE(f.registry.ReadText("AppPath"), program);
  const std::string& folder = f.window->programFolder();
  QVERIFY(!folder.empty());
  QCOMPARE(folder.back(), '/');
  QCOMPARE(program.substr(0, folder.size()), folder);
  QVERIFY(program.find('/', folder.size()) == std::string::npos);
  QCOMPARE(f.window->languageFile(), std::string("czech.lng"));
  QCOMPARE(f.window->groupButton()->text(), QString("All"));
  QCOMPARE(f.window->discCountLabel()->text(), QString("1"));
}

void StartupTest::settingsCommandAppliesTheFontSize() {
  Fixture f;
  f.writeCatalogue("katalog.big");
  f.registry.WriteText("Cesta", f.path("katalog.big").toStdString());
  f.registry.WriteText("VerzeProgramu", kTitle);
  f.createWindow();
  f.window->start();
  f.window->show();
  QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));

  ModalDriver user([](QWidget* modal) {
    auto* settings = qobject_cast<TOnForm*>(modal);
    if (settings == nullptr) {
      modal->close();
      return;
    }
    settings->fontSize()->setValue(15);
    QueueClick(settings->okButton());
  });
  QAction* application = f.window->command("actionApplicationSettings");
  QVERIFY(application != nullptr);
  QCOMPARE(application->text(), QString("&Aplikace..."));
  application->trigger();
  QCOMPARE(user.seen, 1);
  QCOMPARE(f.registry.ReadText("VelikostFontu"), std::string("15"));
  QCOMPARE(f.window->discView()->font().pointSize(), 15);
  QCOMPARE(f.window->dirView()->font().pointSize(), 15);
}

void StartupTest::groupManagementRebuildsTheGroupMenu() {
  Fixture f;
  f.writeCatalogue("katalog.big");
  f.registry.WriteText("Cesta", f.path("katalog.big").toStdString());
  f.registry.WriteText("VerzeProgramu", kTitle);
  f.createWindow();
  f.window->start();
  f.window->show();
  QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
  QCOMPARE(f.registry.ReadText("Spusteni"), std::string("1"));

  ModalDriver user([](QWidget* modal) {
    if (auto* manager = qobject_cast<rondo::gui::TSpravaSkupForm*>(modal)) {
      QueueClick(manager->newButton());
    } else if (auto* name = qobject_cast<rondo::gui::TRenameForm*>(modal)) {
      QTest::keyClicks(name->edit(), "Hry");
      QueueClick(name->okButton());
    } else {
      modal->close();
    }
  });
  QTimer finish;
  // Once the new name is in the list, the manager is closed with OK.
  connect(&finish, &QTimer::timeout, [&finish] {
    auto* manager = qobject_cast<rondo::gui::TSpravaSkupForm*>(QApplication::activeModalWidget());
    if (manager != nullptr && !manager->groupList()->findItems("Hry", Qt::MatchExactly).isEmpty()) {
      finish.stop();
      QTest::mouseClick(manager->okButton(), Qt::LeftButton);
    }
  });
  finish.start(5);
  f.window->command("actionManageGroups")->trigger();

  QCOMPARE(user.seen, 2);
  QStringList entries;
  for (QAction* action : f.window->groupMenu()->actions())
    entries << (action->isSeparator() ? QString("-") : action->text());
  QCOMPARE(entries, (QStringList{"All", "Půjčené", "Nepůjčené", "-", "Audio CD", "Hry"}));
  // Every build of the group menu counts.
  QCOMPARE(f.registry.ReadText("Spusteni"), std::string("2"));
  QCOMPARE(f.window->discCountLabel()->text(), QString("1"));
}

void StartupTest::informationWindowsTellWhereThingsAre() {
  Fixture f;
  f.writeCatalogue("katalog.big");
  f.registry.WriteText("Cesta", f.path("katalog.big").toStdString());
  f.registry.WriteText("VerzeProgramu", kTitle);
  f.createWindow();
  f.window->start();
  f.window->show();
  QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));

  QStringList titles;
  QStringList texts;
  ModalDriver user([&](QWidget* modal) {
    auto* info = qobject_cast<TInfoForm*>(modal);
    if (info == nullptr) {
      modal->close();
      return;
    }
    titles << info->windowTitle();
    texts << info->plainText();
    QueueClick(info->okButton());
  });
  f.window->command("actionWhatsNew")->trigger();
  f.window->command("actionAbout")->trigger();
  QCOMPARE(user.seen, 2);
  QCOMPARE(titles, (QStringList{"Co je nového", "O aplikaci"}));
  const QString settings = QString::fromStdString(rondo::platform::RegistryFilePath());
  QVERIFY(settings.startsWith(settingsDir_.path()));
  for (const QString& text : texts) {
    QVERIFY(text.contains(kTitle));
    QVERIFY2(text.contains(settings), qPrintable(text));
    QVERIFY(text.contains(f.path("katalog.big")));
    QVERIFY(text.contains(QString::fromStdString(f.window->programFolder())));
  }
  QVERIFY(texts.value(1).contains("GNU General Public License verze 3"));
}

void StartupTest::splashIsUpWhileTheStartRuns() {
  Fixture f;
  f.writeCatalogue("katalog.big");
  f.registry.WriteText("Cesta", f.path("katalog.big").toStdString());
  f.registry.WriteText("VerzeProgramu", kTitle);
  f.createWindow(300);
  // A timer due at once runs only when the start lets events through.
  QPointer<rondo::gui::TSplashForm> shown;
  bool centred = false;
  QTimer::singleShot(0, [&] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* splash = qobject_cast<rondo::gui::TSplashForm*>(top);
      if (splash == nullptr || !splash->isVisible())
        continue;
      shown = splash;
      const QRect screen = splash->screen()->availableGeometry();
      centred = (splash->frameGeometry().center() - screen.center()).manhattanLength() <= 2;
    }
  });
  QVERIFY(shown.isNull());
  f.window->start();
  QVERIFY(centred);
  // Closed and gone once the start went on.
  QVERIFY(shown.isNull());
  for (QWidget* top : QApplication::topLevelWidgets())
    QVERIFY(qobject_cast<rondo::gui::TSplashForm*>(top) == nullptr || !top->isVisible());
  QCOMPARE(f.window->discCountLabel()->text(), QString("1"));

  rondo::gui::TSplashForm splash;
  const Qt::WindowFlags flags = splash.windowFlags();
  QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
  QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
  QVERIFY(splash.titleLabel()->text().contains("QEL Rondotheka"));
  QVERIFY(splash.versionLabel()->text().contains("4.4"));
}

void StartupTest::aCatalogueOnTheCommandLineOpensForThisRunOnly() {
  Fixture f;
  f.writeCatalogue("katalog.big");
  rondo::test::DiscSpec other;
  other.serial = "2222-0002";
  other.description = "Filmy";
  rondo::test::CatalogueBytes().AddDisc(other).Save(f.path("jiny.big").toStdString());
  QFile text(f.path("text.big"));
  QVERIFY(text.open(QIODevice::WriteOnly));
  text.write("Nákupní seznam\n");
  text.close();
  const std::string configured = f.path("katalog.big").toStdString();
  f.registry.WriteText("Cesta", configured);
  f.registry.WriteText("VerzeProgramu", rondo::gui::kApplicationTitle);
  const QString cwd = QDir::currentPath();
  QVERIFY(QDir::setCurrent(f.dir.path()));
  const auto start = [&f](const QString& file) {
    f.messages.clear();
    f.createWindow();
    f.window->startFile = file;
    f.window->start();
    f.window->show();
  };

  // A name relative to the current folder, as a terminal gives it.
  start("jiny.big");
  QCOMPARE(f.messages, QStringList());
  QCOMPARE(f.window->engine().DatabasePath, f.path("jiny.big").toStdString());
  QCOMPARE(f.window->engine().Discs.rows.size(), std::size_t{1});
  QCOMPARE(f.window->engine().Discs.rows[0].Caption(), std::string("Filmy"));
  QVERIFY(f.window->windowTitle().endsWith("jiny.big"));
  f.window->close();
  // The settings still name the usual catalogue for the next start.
  QCOMPARE(f.registry.ReadText("Cesta"), configured);

  // A file that is missing or a folder: said why, nothing made, and the
  // usual catalogue opens.
  for (const QString& name : {QString("chybi.big"), f.dir.path()}) {
    start(name);
    QCOMPARE(f.messages.size(), 1);
    QVERIFY2(f.messages[0].startsWith("Chyba: ") &&
                 f.messages[0].contains(QFileInfo(name).absoluteFilePath()),
             qPrintable(f.messages[0]));
    QVERIFY(!QFile::exists(f.path("chybi.big")));
    QCOMPARE(f.window->engine().DatabasePath, configured);
    QCOMPARE(f.window->engine().Discs.rows[0].Caption(), std::string("Hudba"));
    f.window->close();
  }

  // A file that is no catalogue: the listing's message, the file untouched.
  start("text.big");
  QCOMPARE(f.messages.size(), 1);
  QVERIFY2(f.messages[0].contains("hlavička databáze"), qPrintable(f.messages[0]));
  QVERIFY(f.window->engine().Discs.rows.empty());
  QVERIFY(text.open(QIODevice::ReadOnly));
  QCOMPARE(QString::fromUtf8(text.readAll()), QString("Nákupní seznam\n"));
  f.window->close();
  QCOMPARE(f.registry.ReadText("Cesta"), configured);
  QVERIFY(QDir::setCurrent(cwd));
}

void StartupTest::commandLineArguments_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<int>("action");
  QTest::addColumn<QString>("file");
  QTest::addColumn<QString>("command");
  using Action = rondo::gui::StartArguments::Action;
  const auto row = [](const char* name, QStringList args, Action action, QString file = {},
                      QString command = {}) {
    QTest::newRow(name) << args << static_cast<int>(action) << file << command;
  };
  row("nothing", {}, Action::kRun);
  row("command", {"SEARCH"}, Action::kRun, {}, "SEARCH");
  row("file", {"a.big"}, Action::kRun, "a.big");
  row("file then command", {"a.big", "search"}, Action::kRun, "a.big", "search");
  row("command then file", {"add", "a.big"}, Action::kRun, "a.big", "add");
  row("file named like a command", {"--", "add"}, Action::kRun, "add");
  row("help wins", {"-platform", "--version", "-h"}, Action::kHelp);
  row("version past Qt's options", {"-platform", "offscreen", "--version"}, Action::kVersion,
      "offscreen");
  row("unknown option", {"--verze"}, Action::kError);
  row("two files", {"a.big", "b.big"}, Action::kError, "b.big");
  row("two commands", {"add", "search"}, Action::kError, {}, "search");
}

void StartupTest::commandLineArguments() {
  QFETCH(QStringList, args);
  std::vector<std::string> words;
  for (const QString& arg : args)
    words.push_back(arg.toStdString());
  const rondo::gui::StartArguments parsed = rondo::gui::ParseStartArguments(words);
  QTEST(static_cast<int>(parsed.action), "action");
  QTEST(QString::fromStdString(parsed.file), "file");
  QTEST(QString::fromStdString(parsed.command), "command");
  // A refusal says why.
  if (parsed.action == rondo::gui::StartArguments::Action::kError)
    QVERIFY(!parsed.error.empty());
}

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
