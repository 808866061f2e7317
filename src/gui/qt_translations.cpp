// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/qt_translations.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

namespace rondo::gui {

QString QtLanguageOf(const QString& languageFile) {
  static const struct {
    const char* name;
    const char* code;
  } kKnown[] = {{"czech", "cs"},   {"english", "en"},  {"slovak", "sk"},  {"german", "de"},
                {"polish", "pl"},  {"french", "fr"},   {"spanish", "es"}, {"italian", "it"},
                {"russian", "ru"}, {"hungarian", "hu"}};
  const QString base = QFileInfo(languageFile).completeBaseName().toLower();
  for (const auto& known : kKnown) {
    if (base == QLatin1String(known.name))
      return QString::fromLatin1(known.code);
  }
  return {};
}

void UseQtTranslations(const QString& languageFile) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr)
    return;
  // One translator at a time, owned by the application and found by name.
  const QString name = QStringLiteral("rondoQtTranslator");
  if (auto* old = app->findChild<QTranslator*>(name, Qt::FindDirectChildrenOnly)) {
    QCoreApplication::removeTranslator(old);
    delete old;
  }
  const QString code = QtLanguageOf(languageFile);
  if (code.isEmpty() || code == QLatin1String("en"))
    return;
  auto* translator = new QTranslator(app);
  translator->setObjectName(name);
  if (translator->load(QStringLiteral("qtbase_") + code,
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translator);
  } else {
    delete translator;
  }
}

}  // namespace rondo::gui
