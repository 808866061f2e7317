// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/mnemonics.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QWidget>

namespace rondo::gui {

namespace {

// The letter after a single "&", or a null character.
QChar MnemonicOf(const QString& caption) {
  for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != QLatin1Char('&'))
      continue;
    if (caption[i + 1] != QLatin1Char('&'))
      return caption[i + 1].toLower();
    ++i;  // "&&" is an ampersand
  }
  return {};
}

bool LeftAlone(const QObject* object) {
  return object->objectName().contains(QStringLiteral("666"));
}

void AssignIn(const QList<QAction*>& actions) {
  QSet<QChar> taken;
  for (const QAction* action : actions) {
    if (const QChar letter = MnemonicOf(action->text()); !letter.isNull())
      taken.insert(letter);
  }
  for (QAction* action : actions) {
    if (action->isSeparator() || action->text().isEmpty() || LeftAlone(action) ||
        !MnemonicOf(action->text()).isNull()) {
      continue;
    }
    QString caption = action->text();
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    for (qsizetype i = 0; i < caption.size(); ++i) {
      const QChar c = caption[i];
      if (c == QLatin1Char('&')) {
        ++i;
        continue;
      }
      if (c.isLetterOrNumber() && !taken.contains(c.toLower())) {
        taken.insert(c.toLower());
        caption.insert(i, QLatin1Char('&'));
        action->setText(caption);
        break;
      }
    }
  }
}

void AssignIn(QMenu* menu) {
  if (LeftAlone(menu))
    return;
  AssignIn(menu->actions());
  for (QAction* action : menu->actions()) {
    if (action->menu() != nullptr)
      AssignIn(action->menu());
  }
}

}  // namespace

// The menu bar and the menus reached from it; pop-up menus share their
// commands, and so their letters.
void AssignMnemonics(QWidget* window) {
  for (QMenuBar* bar : window->findChildren<QMenuBar*>()) {
    AssignIn(bar->actions());
    for (QAction* action : bar->actions()) {
      if (action->menu() != nullptr)
        AssignIn(action->menu());
    }
  }
}

QString WithoutMnemonic(const QString& caption) {
  QString plain;
  plain.reserve(caption.size());
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == QLatin1Char('&')) {
      if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&'))
        plain += QLatin1Char('&');
      ++i;
      if (i < caption.size() && caption[i] != QLatin1Char('&'))
        plain += caption[i];
      continue;
    }
    plain += caption[i];
  }
  return plain;
}

}  // namespace rondo::gui
