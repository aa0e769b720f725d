#include "ui/Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace korvid {

bool loadChineseTranslation(QCoreApplication& app) {
    // Loaded once per application; it goes with the application.
    static QPointer<QTranslator> installed;
    if (installed && installed->parent() == &app) return true;
    const QString name = QStringLiteral("qtbase_zh_CN");
    auto* translator = new QTranslator(&app);
    if (!translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

}  // namespace korvid
