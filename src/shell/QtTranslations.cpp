#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace qvr {

QtTranslations::QtTranslations() = default;

QtTranslations::~QtTranslations()
{
    if (m_translator)
        QCoreApplication::removeTranslator(m_translator.get());
}

QStringList QtTranslations::folders()
{
    const QString program = QCoreApplication::applicationDirPath();
    return {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
            program + QStringLiteral("/translations"), program};
}

bool QtTranslations::apply(int languageOffset)
{
    if (m_translator) {
        QCoreApplication::removeTranslator(m_translator.get());
        m_translator.reset();
    }
    if (languageOffset != 0)
        return true;
    auto translator = std::make_unique<QTranslator>();
    // "qtbase" holds the widgets' texts; "qt" is the catalogue that names it and the other
    // modules, in case a bundle ships only that.
    for (const QString &folder : folders()) {
        for (const char *name : {"qtbase", "qt"}) {
            if (translator->load(QLocale(QLocale::German, QLocale::Germany),
                                 QString::fromLatin1(name), QStringLiteral("_"), folder)) {
                QCoreApplication::installTranslator(translator.get());
                m_translator = std::move(translator);
                return true;
            }
        }
    }
    return false;
}

} // namespace qvr
