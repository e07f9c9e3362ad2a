#include "platform/session.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>

#include "platform/fonts.h"

Session::Session(QApplication& app) {
    UseChineseFont(app);

    // Without the translations (not installed) Qt's dialogs speak English.
    if (qtTexts_.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts_);

    // Without a folder of our own, settings go where nothing can be created.
    const QString place = settings_.isValid() ? settings_.path() : QStringLiteral("/dev/null");
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, place);
}
