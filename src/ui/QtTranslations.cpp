#include "ui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace korvo {

bool InstallQtTranslations(const QString &language)
{
    auto *app = QCoreApplication::instance();
    if (!app)
        return false;
    const QString name = QStringLiteral("korvoQtTranslator");
    delete app->findChild<QTranslator *>(name, Qt::FindDirectChildrenOnly); // uninstalls itself
    QString locale;
    if (language == QLatin1String("Chinese"))
        locale = QStringLiteral("zh_CN");
    else if (language == QLatin1String("Other"))
        locale = QStringLiteral("ru");
    else
        return true;
    auto *translator = new QTranslator(app);
    translator->setObjectName(name);
    if (!translator->load(QStringLiteral("qtbase_") + locale,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace korvo
