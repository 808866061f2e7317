// The search window: options, group lists, running and stopping a search,
// the export, and how the main window opens it.
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include "gui/QELControls.h"
#include "gui/TMainForm.h"
#include "gui/TSearchForm.h"
#include "settings/group_kinds.h"
#include "support/catalogue_builder.h"
#include "support/fake_host.h"

using namespace rondo;

class SearchWindowTest : public QObject {
  Q_OBJECT

 private:
  struct Fixture {
    QTemporaryDir dir;
    FileRegistry registry;
    test::FakeHost host;
    Engine engine{host};

    explicit Fixture(bool withRegistryFile = false)
        : registry((dir.path() + (withRegistryFile ? "/registry.ini" : "/r.ini")).toStdString()) {
      engine.DatabasePath = (dir.path() + "/katalog.big").toStdString();
      test::CatalogueBytes catalogue;
      catalogue
          .AddDisc(
              {.serial = "A-1", .description = "Fotky", .groups = "Rodina", .files = 3, .dirs = 1},
              {test::Item(true, "Léto abc", 1, 3), test::Item(false, "abc.jpg", 2, 3),
               test::Item(false, "jiné.txt", 2, 0), test::Item(false, "ABC.txt", 1, 1)})
          .AddDisc({.serial = "A-2", .description = "Hry abc", .groups = "Hry", .files = 1},
                   {test::Item(false, "abc.exe", 1, 1)});
      catalogue.Save(engine.DatabasePath);
      RegisterGroup(registry, "Hry");
    }
    QStringList Names(gui::TSearchForm& form) {
      QStringList names;
      auto* model = form.resultView()->model();
      for (int r = 0; r < model->rowCount(); ++r)
        names << model->index(r, 0).data().toString();
      return names;
    }
  };

 private slots:
  void searchingListsTheHitsInFoundOrder() {
    Fixture f;
    gui::TSearchForm form(f.engine, f.registry);
    form.show();
    QVERIFY(!form.startButton()->isEnabled());
    form.patternEdit()->setText("abc");
    QVERIFY(form.startButton()->isEnabled());
    QTest::mouseClick(form.startButton(), Qt::LeftButton);
    QCOMPARE(form.patternEdit()->text(), QString("*abc*"));
    QCOMPARE(f.Names(form), (QStringList{"Léto abc", "abc.jpg", "ABC.txt", "Hry abc", "abc.exe"}));
    QCOMPARE(form.foundLabel()->text(), QString("5"));
    auto* model = form.resultView()->model();
    QCOMPARE(model->columnCount(), 10);
    QCOMPARE(model->headerData(5, Qt::Horizontal).toString(), QString("Umístění"));
    QCOMPARE(model->index(1, 5).data().toString(), QString("Léto abc"));
    QCOMPARE(model->index(1, 6).data().toString(), QString("Fotky"));
    QVERIFY(!model->index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    QCOMPARE(form.startButton()->text(), QString("Start"));

    form.filesOnly()->setChecked(true);
    QTest::mouseClick(form.startButton(), Qt::LeftButton);
    QCOMPARE(f.Names(form), (QStringList{"abc.jpg", "ABC.txt", "abc.exe"}));

    // Unwrapped, "abc*" finds only names that begin with it.
    form.patternEdit()->setText("abc*");
    QTest::mouseClick(form.startButton(), Qt::LeftButton);
    QCOMPARE(f.Names(form), (QStringList{"abc.jpg", "ABC.txt", "abc.exe"}));
    form.wrapPattern()->setChecked(false);
    form.patternEdit()->setText("abc");
    QTest::mouseClick(form.startButton(), Qt::LeftButton);
    QCOMPARE(form.patternEdit()->text(), QString("abc"));
    QVERIFY(f.Names(form).isEmpty());
  }

  void groupListsAndStopping() {
    Fixture f;
    gui::TSearchForm form(f.engine, f.registry);
    form.show();
    QCOMPARE(form.availableList()->item(0)->text(), QString("Půjčené"));
    QCOMPARE(form.availableList()->item(1)->text(), QString("Nepůjčené"));
    QCOMPARE(form.availableList()->item(2)->text(), QString("Hry"));
    QCOMPARE(form.chosenList()->item(0)->text(), QString("Vše"));

    // "<" with "Hry" chosen drops "Vše"; the search keeps to that disc.
    form.availableList()->setCurrentRow(2);
    form.addGroup();
    QCOMPARE(form.chosenList()->count(), 1);
    QCOMPARE(form.chosenList()->item(0)->text(), QString("Hry"));
    form.patternEdit()->setText("abc");
    QTest::mouseClick(form.startButton(), Qt::LeftButton);
    QCOMPARE(f.Names(form), (QStringList{"Hry abc", "abc.exe"}));
    // ">" puts "Vše" back when nothing is left.
    form.chosenList()->setCurrentRow(0);
    form.removeGroup();
    QCOMPARE(form.chosenList()->item(0)->text(), QString("Vše"));

    // "Zastavit" during the search keeps what was found so far.
    form.patternEdit()->setText("*");
    int records = 0;
    form.recordHook = [&] {
      if (++records == 2)
        form.startOrStop();
    };
    QTest::mouseClick(form.startButton(), Qt::LeftButton);
    QCOMPARE(form.startButton()->text(), QString("Start"));
    const int found = form.resultView()->model()->rowCount();
    QVERIFY(found >= 2 && found < 7);
    QCOMPARE(form.foundLabel()->text(), QString::number(found));
  }

  void exportAndPersistedOptions() {
    Fixture f(true);
    QString opened;
    {
      gui::TSearchForm form(f.engine, f.registry);
      form.programFolder = f.dir.path();
      form.openInViewer = [&opened](const QString& path) { opened = path; };
      form.patternEdit()->setText("abc");
      QTest::mouseClick(form.startButton(), Qt::LeftButton);
      form.exportToViewer();
      form.limitedDepth()->setChecked(true);
      form.depth()->setValue(7);
      form.useCache()->setChecked(false);
      form.reject();
    }
    QCOMPARE(opened, f.dir.path() + "/Hledani.txt");
    QFile file(opened);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(
        QString::fromUtf8(file.readAll()),
        QString("\\Léto abc\r\n\\Léto abc\\abc.jpg\r\n\\ABC.txt\r\n\\Hry abc\r\n\\abc.exe\r\n"));

    FileRegistry again(f.registry.Path());
    gui::TSearchForm form(f.engine, again);
    QVERIFY(form.limitedDepth()->isChecked());
    QCOMPARE(form.depth()->value(), 7);
    QVERIFY(form.depth()->isEnabled());
    QVERIFY(!form.useCache()->isChecked());
    QVERIFY(form.directoryGroups()->isChecked());
  }

  void theMainWindowOpensIt() {
    QTemporaryDir dir;
    MemoryRegistry registry;
    registry.WriteText("Cesta", (dir.path() + "/k.big").toStdString());
    registry.WriteText("VerzeProgramu", "QEL Rondotheka 4.4");
    registry.WriteBool("MaximalizovatHledani", true);
    gui::TMainForm window(registry);
    window.splashMilliseconds = 0;
    window.start();
    bool seen = false;
    window.searchHook = [&seen](gui::TSearchForm& form) {
      seen = true;
      QCOMPARE(form.windowTitle(), QString("Vyhledávání..."));
      QVERIFY(form.windowState() & Qt::WindowMaximized);
    };
    window.command("actionSearch")->trigger();
    QVERIFY(seen);
  }
};

QTEST_MAIN(SearchWindowTest)
#include "search_test.moc"
