// SPDX-License-Identifier: GPL-3.0-or-later
// Language files with the real windows: a missing file is created complete,
// a translation lacking a text shows it in Czech and gains it, the Language
// menu switches the whole window, and broken files do no harm.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "gui/TDuplicityForm.h"
#include "gui/TLngINISupp.h"
#include "gui/TMainForm.h"
#include "gui/TRenameForm.h"
#include "gui/TSearchForm.h"
#include "gui/TSkupinaForm.h"
#include "gui/TSplashForm.h"
#include "gui/mnemonics.h"
#include "settings/lng_file.h"
#include "support/catalogue_builder.h"
#include "version.h"

using namespace rondo;

namespace {

const QString kShipped = QStringLiteral(RONDO_SOURCE_DIR "/lang/");

struct Fixture {
  QTemporaryDir dir;
  MemoryRegistry registry;
  std::unique_ptr<gui::TMainForm> window;
  QStringList messages;

  Fixture() {
    const std::string path = (dir.path() + "/katalog.big").toStdString();
    test::CatalogueBytes()
        .AddDisc({.serial = "A-1", .description = "Alfa", .files = 1},
                 {test::Item(false, "a.txt", 1, 10)})
        .Save(path);
    registry.WriteText("Cesta", path);
    registry.WriteText("VerzeProgramu", "QEL Rondotheka 4.4");
  }
  QString lang(const QString& name) const { return dir.path() + "/" + name; }
  void install(const QString& name) const { QFile::copy(kShipped + name, lang(name)); }
  void start(const std::string& language = "") {
    if (!language.empty())
      registry.WriteText("Language", language);
    window = std::make_unique<gui::TMainForm>(registry);
    window->splashMilliseconds = 0;
    window->quitOnClose = false;
    window->languageFolder = dir.path();
    window->messageHook = [this](const QString& m) { messages << m; };
    window->start();
    window->show();
  }
  QString text(const char* action) const {
    return gui::WithoutMnemonic(window->command(action)->text());
  }
  LngFile file(const QString& name) const {
    LngFile f;
    f.Load(lang(name).toStdString());
    return f;
  }
};

}  // namespace

class LanguageTest : public QObject {
  Q_OBJECT

 private slots:
  void aMissingFileIsCreatedComplete() {
    Fixture f;
    f.start();
    QCOMPARE(f.messages,
             QStringList{"WARNING!!!\r\n Language File Not Found! Its now creating a new!"});
    const LngFile written = f.file("czech.lng");
    QCOMPARE(written.Value("MainForm", "actionQuit"), std::optional<std::string>("Konec"));
    QCOMPARE(written.Value("MainForm", "discView_0"), std::optional<std::string>("CD - Popis"));
    QVERIFY(written.Value("MainForm", "FormCaption").has_value());
    // The shipped file has every text this one got, and nothing of the
    // program's own values ("666").
    const LngFile shipped = [] {
      LngFile s;
      s.Load((kShipped + "czech.lng").toStdString());
      return s;
    }();
    for (const auto& [key, value] : written.Entries("MainForm")) {
      QVERIFY2(!QString::fromStdString(key).contains("666"), key.c_str());
      QVERIFY2(shipped.Value("MainForm", key).has_value(), key.c_str());
    }
    QCOMPARE(written.Value("MainForm", "groupButton666"), std::nullopt);

    // A window opened later adds its own section and is not warned about;
    // the main window keeps its caption naming the catalogue.
    const QString caption = f.window->windowTitle();
    QVERIFY(caption.endsWith("katalog.big"));
    gui::TRenameForm rename(f.window.get());
    QCOMPARE(f.messages.size(), 1);
    QCOMPARE(f.window->windowTitle(), caption);
    QCOMPARE(f.file("czech.lng").Value("RenameForm", "FormCaption"),
             std::optional<std::string>("Nové jméno..."));
  }

  void aTranslationLackingATextShowsItInCzechAndGainsIt() {
    Fixture f;
    f.install("czech.lng");
    LngFile english;
    english.Load((kShipped + "english.lng").toStdString());
    // The shipped English file without one of its lines.
    std::string text = english.Serialize();
    const std::string line = "actionQuit=Exit\r\n";
    text.erase(text.find(line), line.size());
    // A file completed by an older version names that version on the splash.
    const std::string splash = "Label2=Version 4.4\r\n";
    text.replace(text.find(splash), splash.size(), "Label2=Version 3.9\r\n");
    QFile out(f.lang("english.lng"));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(text.data(), static_cast<qint64>(text.size()));
    out.close();

    f.start("english.lng");
    QVERIFY(f.messages.isEmpty());
    QCOMPARE(f.text("actionSearch"), QString("In the catalogue..."));
    QCOMPARE(f.text("actionQuit"), QString("Konec"));
    QCOMPARE(f.file("english.lng").Value("MainForm", "actionQuit"),
             std::optional<std::string>("Konec"));
    // Windows opened later speak the same language.
    gui::TRenameForm rename(f.window.get());
    QCOMPARE(rename.windowTitle(), QString("New name..."));
    // The splash takes the word from the file and the number from the program.
    gui::TSplashForm splashForm;
    QCOMPARE(splashForm.versionLabel()->text(), QString("Version ") + kVersion);

    // So do the group names the program gives meaning to; what is stored
    // and filtered by keeps the Czech name.
    QStringList entries;
    for (QAction* a : f.window->groupMenu()->actions())
      entries << a->text();
    QCOMPARE(entries.mid(0, 3), (QStringList{"All", "Lent", "Not lent"}));
    f.window->groupMenu()->actions().at(1)->trigger();
    QCOMPARE(f.window->groupButton()->text(), QString("Lent"));
    QCOMPARE(f.window->engine().GroupFilter, std::string("Půjčené"));
    gui::TSkupinaForm picker(f.registry, f.window.get());
    QCOMPARE(picker.chosenList()->item(0)->text(), QString("Unassigned"));
    QCOMPARE(picker.chosen(), QStringList{"Nezařazeno"});
    // The search window offers them shown, and searches by the stored name.
    gui::TSearchForm search(f.window->engine(), f.registry, f.window.get());
    QCOMPARE(search.availableList()->item(0)->text(), QString("Lent"));
    QCOMPARE(search.availableList()->item(0)->data(Qt::UserRole).toString(), QString("Půjčené"));
    // So do the texts the search and duplicates windows switch to as they run.
    QStringList exportEntries;
    for (QAction* a : search.exportMenu()->actions())
      exportEntries << a->text();
    QCOMPARE(exportEntries, (QStringList{"> Notepad", "> &Table CSV or HTML..."}));
    QString whileRunning;
    search.recordHook = [&] { whileRunning = search.startButton()->text(); };
    search.patternEdit()->setText("*");
    search.startButton()->click();
    QCOMPARE(whileRunning, QString("Stop"));
    QCOMPARE(search.startButton()->text(), QString("Start"));
    gui::TDuplicityForm duplicates(f.window->engine(), f.registry, f.window.get());
    QCOMPARE(duplicates.startButton()->text(), QString("Search"));
    QCOMPARE(duplicates.findChild<QAction*>("stopCaption")->text(), QString("Stop"));
    // The surface check's button has its text in both shipped files.
    QCOMPARE(english.Value("KontrolaForm", "stopCaption"), std::optional<std::string>("Stop"));
    LngFile czech;
    QVERIFY(czech.Load((kShipped + "czech.lng").toStdString()));
    QCOMPARE(czech.Value("KontrolaForm", "stopCaption"), std::optional<std::string>("Stop"));
    picker.chosenList()->setCurrentRow(0);
    picker.removeButton()->click();
    picker.availableList()->setCurrentRow(picker.availableList()->count() - 1);
    picker.addButton()->click();
    QCOMPARE(picker.storedGroups(), QString());  // still no group
  }

  void theLanguageMenuSwitchesTheWindow() {
    Fixture f;
    f.install("czech.lng");
    f.install("english.lng");
    f.start();
    QMenu* menu = f.window->menuBar()->findChild<QMenu*>("LngItem");
    QVERIFY(menu != nullptr);
    QCOMPARE(menu->title(), QString("&Jazyk"));
    QStringList items;
    for (QAction* a : menu->actions())
      items << a->objectName() + "=" + a->text();
    QCOMPARE(items,
             (QStringList{"czech=&Čeština [QEL Rondotheka]", "english=&English [QEL Rondotheka]"}));
    const QString caption = f.window->windowTitle();
    // Qt's own buttons follow: Czech now, English after the switch.
    const auto yes = [] { return QCoreApplication::translate("QPlatformTheme", "&Yes"); };
    QVERIFY2(yes() != "&Yes", qPrintable(yes()));
    f.window->groupMenu()->actions().at(2)->trigger();
    QCOMPARE(f.window->groupButton()->text(), QString("Nepůjčené"));
    menu->actions().at(1)->trigger();
    QCOMPARE(f.window->groupButton()->text(), QString("Not lent"));
    QCOMPARE(yes(), QString("&Yes"));
    QCOMPARE(f.text("actionAddCd"), QString("Add..."));
    QCOMPARE(f.window->languageFile(), std::string("english.lng"));
    QCOMPARE(f.window->windowTitle(), caption);  // still names the catalogue
    QMenu* again = f.window->menuBar()->findChild<QMenu*>("LngItem");
    QCOMPARE(again->title(), QString("&Language"));
    f.window->close();
    QCOMPARE(f.registry.ReadText("Language"), std::string("english.lng"));
    // The shipped files were complete: switching wrote nothing into them.
    QCOMPARE(f.file("english.lng").Serialize(), [] {
      LngFile s;
      s.Load((kShipped + "english.lng").toStdString());
      return s.Serialize();
    }());
  }

  void brokenFilesDoNoHarm() {
    Fixture f;
    // Code page 1250 ("\xE8" is "č"), with bytes that are no text.
    static const char kBroken[] =
        "\x00\xff\xfe[MainForm\r\n[MainForm]\r\nactionQuit=Pry\xE8\r\n"
        "actionQuit=Druh\xFD\r\n=\r\n[[[\r\n[Nikdo]\r\nnic=nic\r\n"
        "[MainForm]\r\nactionAbout\r\n\x01\x02=\x03\r\n";
    QFile out(f.lang("czech.lng"));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(kBroken, sizeof kBroken - 1);
    out.close();
    f.start();
    QVERIFY(f.messages.isEmpty());
    QCOMPARE(f.text("actionQuit"), QString::fromUtf8("Pryč"));
    QCOMPARE(f.text("actionAbout"), QString("O aplikaci..."));
    QVERIFY(f.file("czech.lng").Value("MainForm", "actionAbout").has_value());
  }

  void filesComeFromSeveralFoldersAndAreCompletedInTheWritableOne() {
    // The user's folder (read first, written to) before an installed one
    // (only read): each name is read from the first folder that has it.
    QTemporaryDir dir;
    const QString user = dir.path() + "/user";
    const QString installed = dir.path() + "/installed";
    QVERIFY(QDir().mkpath(user) && QDir().mkpath(installed));
    QVERIFY(QFile::copy(kShipped + "czech.lng", installed + "/czech.lng"));
    LngFile own;
    own.Load((kShipped + "czech.lng").toStdString());
    own.Set("Language", "Language", "Vlastní");
    own.Save((user + "/czech.lng").toStdString());
    // The installed English file lacks the rename window's caption.
    LngFile english;
    english.Load((kShipped + "english.lng").toStdString());
    std::string text = english.Serialize();
    const std::string line = "[RenameForm]\r\nFormCaption=New name...\r\n";
    text.replace(text.find(line), line.size(), "[RenameForm]\r\n");
    QFile out(installed + "/english.lng");
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(text.data(), static_cast<qint64>(text.size()));
    out.close();

    gui::TLngINISupp supp({user, installed}, user);
    supp.warningHook = [](const QString& warning) { QFAIL(qPrintable(warning)); };
    QMenuBar bar;
    supp.setMenu(&bar);
    gui::TRenameForm rename;
    supp.setFileName("english.lng");
    supp.Apply(&rename);
    QCOMPARE(rename.windowTitle(), QString("Nové jméno..."));
    QCOMPARE(rename.findChild<QLabel*>("Label1")->text(), QString("New name:"));
    // Completed into the user's folder, read from there from now on; the
    // installed file is left as it was.
    QCOMPARE(supp.fileName(), user + "/english.lng");
    LngFile completed;
    QVERIFY(completed.Load((user + "/english.lng").toStdString()));
    QCOMPARE(completed.Value("RenameForm", "FormCaption"),
             std::optional<std::string>("Nové jméno..."));
    QFile installedEnglish(installed + "/english.lng");
    QVERIFY(installedEnglish.open(QIODevice::ReadOnly));
    QCOMPARE(installedEnglish.readAll().toStdString(), text);
    // The menu offers every name once, the user's Czech file before the
    // installed one.
    QMenu* menu = bar.findChild<QMenu*>("LngItem");
    QVERIFY(menu != nullptr);
    QStringList items;
    for (QAction* a : menu->actions())
      items << a->objectName() + "=" + gui::WithoutMnemonic(a->text());
    QCOMPARE(items,
             (QStringList{"czech=Vlastní [QEL Rondotheka]", "english=English [QEL Rondotheka]"}));
  }
};

QTEST_MAIN(LanguageTest)
#include "language_test.moc"
