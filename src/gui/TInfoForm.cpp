// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/TInfoForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QtMath>
#include <algorithm>
#include <memory>

#include "gui/TLngINISupp.h"
#include "version.h"

namespace rondo::gui {

namespace {

QString FactsTable(const ProgramFacts& facts) {
  auto row = [](const QString& name, const QString& value) {
    const QString shown = value.isEmpty() ? QStringLiteral("(nenastaveno)") : value.toHtmlEscaped();
    return QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>").arg(name, shown);
  };
  return QStringLiteral("<table cellspacing='4'>") +
         row(QStringLiteral("Soubor nastavení:"), facts.settingsFile) +
         row(QStringLiteral("Otevřená databáze:"), facts.databasePath) +
         row(QStringLiteral("Složka programu:"), facts.programFolder) + QStringLiteral("</table>");
}

// "QEL Rondotheka 4.4" and what follows it, as a heading.
QString Heading(const QString& tail = QString()) {
  return QStringLiteral("<h2>QEL Rondotheka ") + QString::fromUtf8(kVersion) + tail +
         QStringLiteral("</h2>");
}

QString AboutText(const ProgramFacts& facts) {
  return Heading() +
         QStringLiteral(
             "<p>Katalog osobní sbírky disků: CD, DVD, Blu-ray, flash disků, složek i obrazů "
             "ISO. Program projde celý adresářový strom vloženého disku a uloží ho do jediného "
             "souboru databáze. Později, bez disku v mechanice, si můžete CD prohlížet po "
             "skupinách, procházet jejich adresáře, hledat v názvech souborů, psát komentáře, "
             "zapisovat půjčky a spojovat CD do multiskupin.</p>") +
         FactsTable(facts) +
         QStringLiteral(
             "<p>Databáze je jeden soubor se stejným formátem jako u starších verzí "
             "programu; lze ji kdykoli zkopírovat nebo zálohovat.</p>"
             "<p>Rondotheka je svobodný software: smíte ji šířit a upravovat podle "
             "podmínek GNU General Public License verze 3 nebo (podle své volby) kterékoli "
             "novější verze. Program je šířen BEZ JAKÉKOLI ZÁRUKY.</p>");
}

QString WhatsNewText(const ProgramFacts& facts) {
  return Heading(QStringLiteral(" - co je nového")) +
         QStringLiteral(
             "<ul>"
             "<li>Program běží na Linuxu s prostředím Qt 6.</li>"
             "<li>Nastavení se ukládají do textového souboru místo registrů Windows.</li>"
             "<li>Seznam CD i seznam adresářů zvládnou statisíce řádků bez zpomalení.</li>"
             "<li>Procházení uloženého CD: dvojklik nebo mezerník otevře CD nebo adresář, "
             "řádek „..“ vede o úroveň výš, klik na záhlaví sloupce seřadí seznam.</li>"
             "<li>Zaškrtávací pole „Zobrazovat adresáře nepatřící do skupiny“ si pamatuje "
             "svůj stav.</li>"
             "</ul>") +
         FactsTable(facts);
}

}  // namespace

TInfoForm::TInfoForm(Kind kind, const ProgramFacts& facts, QWidget* parent)
    : QDialog(parent), kind_(kind) {
  setObjectName(kind == Kind::kAbout ? QStringLiteral("TInfoFormAbout")
                                     : QStringLiteral("TInfoFormWhatsNew"));
  setWindowTitle(kind == Kind::kAbout ? QStringLiteral("O aplikaci")
                                      : QStringLiteral("Co je nového"));
  setModal(true);

  auto* layout = new QVBoxLayout(this);
  text_ = new QTextBrowser(this);
  text_->setOpenLinks(false);
  text_->setHtml(kind == Kind::kAbout ? AboutText(facts) : WhatsNewText(facts));
  layout->addWidget(text_, 1);

  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);
  buttons->addWidget(ok_);
  layout->addLayout(buttons);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  ApplyLanguage(this);

  // As large as the whole text needs in the chosen font, lines of about 80
  // characters, at least 520 x 380; the window placement keeps it within the
  // screen, and the text scrolls only when the screen cannot hold it.
  const int textWidth = std::max(480, text_->fontMetrics().averageCharWidth() * 80);
  // Measured on a copy: the browser lays its own document out for its
  // viewport, which has no width of its own yet.
  const std::unique_ptr<QTextDocument> measured(text_->document()->clone());
  measured->setDefaultFont(text_->font());
  measured->setTextWidth(textWidth);
  const int textHeight = qCeil(measured->size().height());
  const QMargins margins = layout->contentsMargins();
  const int frame = 2 * text_->frameWidth();
  resize(std::max(520, margins.left() + frame + textWidth + margins.right()),
         std::max(380, margins.top() + frame + textHeight + layout->spacing() +
                           ok_->sizeHint().height() + margins.bottom()));
}

QString TInfoForm::plainText() const {
  return text_->toPlainText();
}

}  // namespace rondo::gui
