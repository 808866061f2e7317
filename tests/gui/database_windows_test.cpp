// SPDX-License-Identifier: GPL-3.0-or-later
// The statistics window, the version conversion and the borrowed-discs
// windows, opened from the main window on real files.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "borrowed/borrowed_list.h"
#include "gui/TDatabazeInfoForm.h"
#include "gui/TMainForm.h"
#include "gui/TMePujceneForm.h"
#include "gui/TPrevodForm.h"
#include "settings/group_kinds.h"
#include "shell/dates.h"
#include "support/catalogue_builder.h"
#include "support/main_window_fixture.h"

using namespace rondo;

class DatabaseWindowsTest : public QObject {
  Q_OBJECT

 private:
  struct Fixture : test::MainWindowFixture {
    std::string borrowed;

    explicit Fixture(const std::vector<std::uint8_t>* bytes = nullptr,
                     bool borrowedAtStart = false) {
      borrowed = (dir.path() + "/mnoupujcene.big").toStdString();
      if (bytes != nullptr) {
        test::WriteAll(path, *bytes);
      } else {
        test::CatalogueBytes catalogue;
        catalogue
            .AddDisc({.serial = "AAAA-0001",
                      .description = "Alfa",
                      .groups = "Hry",
                      .files = 2,
                      .dirs = 1,
                      .cdSize = 3 * 1048576},
                     {test::Item(true, "Doom", 1, 900), test::Item(false, "doom.wad", 2, 800),
                      test::Item(false, "hra.exe", 1, 100)})
            .AddDisc({.serial = "AAAA-0002", .description = "Beta", .label = "Audio CD"});
        catalogue.Save(path);
      }
      registry.WriteBool("ZobrazovatMePujcene", borrowedAtStart);
      Start([this](gui::TMainForm& w) { w.borrowedListPath = borrowed; });
    }
  };

  static QPushButton* Button(QWidget& form, const char* name) {
    return form.findChild<QPushButton*>(QString::fromLatin1(name));
  }

 private slots:
  void statisticsAndDetails() {
    Fixture f;
    QVERIFY(f.window->command("actionDatabaseInfo")->isEnabled());
    QStringList shown;
    QStringList groups;
    QStringList extremes;
    f.window->modalHook = [&](QDialog& dialog) {
      auto* form = qobject_cast<gui::TDatabazeInfoForm*>(&dialog);
      QVERIFY(form != nullptr);
      QCOMPARE(form->windowTitle(), QString("Informace o databázi..."));
      QCOMPARE(form->valueLabels()[0]->text(), QString("0"));  // before it is shown
      form->show();
      for (QLabel* label : form->valueLabels())
        shown << label->text();
      QVERIFY(form->detailsButton()->isEnabled());
      QTest::mouseClick(form->detailsButton(), Qt::LeftButton);
      for (int i = 0; i < form->groupList()->topLevelItemCount(); ++i) {
        auto* item = form->groupList()->topLevelItem(i);
        groups << item->text(0) + "=" + item->text(1);
      }
      for (int i = 0; i < form->extremeList()->topLevelItemCount(); ++i) {
        auto* item = form->extremeList()->topLevelItem(i);
        extremes << item->text(0) + "|" + item->text(1) + "|" + item->text(2);
      }
      QCOMPARE(form->discNumberLabel()->text(), QString("0 z 0"));  // reset afterwards
      QTest::mouseClick(Button(*form, "closeButton"), Qt::LeftButton);
      QVERIFY(!form->isVisible());
    };
    f.Trigger("actionDatabaseInfo");
    QCOMPARE(shown.size(), 9);
    QCOMPARE(shown[0], QString("1"));  // Alfa; Beta is an audio disc
    QCOMPARE(shown[2], QString("1"));
    QCOMPARE(shown[4], QString("4.0"));
    QCOMPARE(shown[6], QString("2"));
    QCOMPARE(shown[8], QString("3.00 MB"));
    QCOMPARE(groups, (QStringList{"Hry=1", "Nezařazeno=1"}));
    QCOMPARE(extremes, (QStringList{"Největší soubor|[Alfa] \\Doom\\doom.wad|800.00 B",
                                    "Největší adresář|[Alfa] \\Doom|900.00 B",
                                    "CD s nejvíce soubory|[Alfa]|2"}));
    QVERIFY(f.messages.isEmpty());
  }

  void oldCatalogueIsConvertedWhenTheUserAgrees() {
    const auto old = test::ReadAll(std::string(RONDO_TEST_DATA) + "/old_format.bin");
    Fixture f(&old);
    QCOMPARE(f.questions.size(), 1);
    QVERIFY(f.questions[0].startsWith("Databáze má zřejmě starý formát."));
    QCOMPARE(f.messages, QStringList{"OK!"});
    QCOMPARE(test::ReadAll(f.path),
             test::ReadAll(std::string(RONDO_TEST_DATA) + "/old_format_converted.bin"));
    QCOMPARE(f.window->engine().Discs.rows.size(), std::size_t(2));  // listed afterwards
  }

  void conversionWindowFromTheMenu() {
    Fixture f;
    // A second, old file converted through the window; the open catalogue
    // is refused as already current and stays as it was.
    const QString other = f.dir.path() + "/stara.big";
    test::WriteAll(other.toStdString(),
                   test::ReadAll(std::string(RONDO_TEST_DATA) + "/old_format.bin"));
    const auto before = test::ReadAll(f.path);
    f.window->modalHook = [&](QDialog& dialog) {
      auto* form = qobject_cast<gui::TPrevodForm*>(&dialog);
      QVERIFY(form != nullptr);
      QCOMPARE(form->path(), QString::fromStdString(f.path));
      QVERIFY(form->oldToCurrentButton()->isChecked());
      QCOMPARE(form->discLabel()->text(), QString("---"));
      form->show();
      QTest::mouseClick(form->startButton(), Qt::LeftButton);
      QCOMPARE(f.messages.size(), 1);
      QVERIFY(f.messages[0].contains("současný formát"));
      form->chooseFileHook = [&] { return other; };
      QTest::mouseClick(form->findChild<QPushButton*>("browseButton"), Qt::LeftButton);
      QCOMPARE(form->path(), other);
      QTest::mouseClick(form->startButton(), Qt::LeftButton);
      QCOMPARE(f.messages.last(), QString("OK!"));
      QVERIFY(form->startButton()->isEnabled());
      QCOMPARE(form->discLabel()->text(), QString("---"));
      // The other direction converts nothing and says OK.
      form->olderFourButton()->setChecked(true);
      QTest::mouseClick(form->startButton(), Qt::LeftButton);
      QCOMPARE(f.messages.size(), 3);
    };
    f.Trigger("actionVersionConversion");
    QCOMPARE(test::ReadAll(f.path), before);
    QCOMPARE(test::ReadAll(other.toStdString()),
             test::ReadAll(std::string(RONDO_TEST_DATA) + "/old_format_converted.bin"));
  }

  void borrowedDiscsAreAddedAndRemoved() {
    Fixture f;
    QVERIFY(f.window->startupBorrowedWindow() == nullptr);
    const DisplayFormat format = f.window->engine().Format();
    const QString day = QString::fromStdString(
        DateText(EncodeOleDate(LocalDateTime{2024, 2, 29}), format.dateTime));
    int opened = 0;
    f.window->modalHook = [&](QDialog& dialog) {
      auto* form = qobject_cast<gui::TMePujceneForm*>(&dialog);
      QVERIFY(form != nullptr);
      ++opened;
      QCOMPARE(form->countLabel()->text(), QString("0"));
      const auto add = [&](const QString& description, const QString& group, const QString& date,
                           int count) {
        form->entryHook = [&](gui::TPujceneCdForm& entry) {
          QCOMPARE(entry.windowTitle(), QString("Přidaní půjčeného CD..."));
          // "Audio CD" is offered, registered when the dialog opened.
          QVERIFY(entry.groupBox()->findText("Audio CD") >= 0);
          entry.descriptionEdit()->setText(description);
          entry.groupBox()->setCurrentText(group);
          entry.fromEdit()->setText("Pepa");
          entry.dateEdit()->setText(date);
          entry.countBox()->setValue(count);
          QTest::mouseClick(entry.addButton(), Qt::LeftButton);
        };
        QTest::mouseClick(form->addButton(), Qt::LeftButton);
      };
      add("Matrix", "Filmy", "nesmysl", 1);  // not a date: nothing added
      QCOMPARE(f.messages.size(), 1);
      QVERIFY(f.messages[0].contains("není platné datum"));
      QCOMPARE(form->list()->topLevelItemCount(), 0);
      add("Matrix", "Filmy", day, 1);
      add("Koncert", "audio cd", day, 3);
      add("Matrix", "Filmy", day, 2);
      QCOMPARE(form->countLabel()->text(), QString("3"));  // rows, not discs
      QTreeWidgetItem* first = form->list()->topLevelItem(0);
      QCOMPARE(first->text(0), QString("Matrix"));
      QCOMPARE(first->text(3), day);
      QCOMPARE(form->list()->topLevelItem(2)->text(4), QString("2"));

      form->list()->setCurrentItem(form->list()->topLevelItem(2));
      QTest::mouseClick(form->removeButton(), Qt::LeftButton);
      QCOMPARE(form->list()->topLevelItemCount(), 1);  // both "Matrix" rows went
      QCOMPARE(form->list()->topLevelItem(0)->text(0), QString("Koncert"));
      QTest::mouseClick(form->okButton(), Qt::LeftButton);
    };
    f.Trigger("actionMyBorrowed");
    QCOMPARE(opened, 1);
    const BorrowedList saved = LoadBorrowedList(f.borrowed);
    QCOMPARE(saved.discs.size(), std::size_t(1));
    QCOMPARE(saved.discs[0].count, std::uint8_t(3));
    QCOMPARE(saved.discs[0].date, EncodeOleDate(LocalDateTime{2024, 2, 29}));
    QVERIFY(f.registry.Read("Druhy CD", "Audio CD").has_value());
  }

  void borrowedWindowAtStart() {
    Fixture f(nullptr, true);
    QDialog* window = f.window->startupBorrowedWindow();
    QVERIFY(window != nullptr);
    QVERIFY(window->isVisible());
    QVERIFY(!window->isModal());
    QCOMPARE(window->geometry(), QRect(3, 28, 275, 200));
    // The menu command brings it forward, larger, instead of a second one.
    int opened = 0;
    f.window->modalHook = [&](QDialog&) { ++opened; };
    f.Trigger("actionMyBorrowed");
    QCOMPARE(opened, 0);
    QCOMPARE(window->size(), QSize(600, 320));
    QTest::mouseClick(window->findChild<QPushButton*>("okButton"), Qt::LeftButton);
    QTRY_VERIFY(f.window->startupBorrowedWindow() == nullptr);  // destroyed when closed
    f.Trigger("actionMyBorrowed");
    QCOMPARE(opened, 1);
  }
};

QTEST_MAIN(DatabaseWindowsTest)
#include "database_windows_test.moc"
