#pragma once

#include <QStringList>

#include <memory>

class QTranslator;

namespace qvr {

// Qt's own texts (file and print dialogs, standard buttons, the edit menu of text boxes) in
// the interface language. The translations come with Qt (on Debian the package
// qt6-translations-l10n); where they are not installed Qt's English texts stay.
class QtTranslations
{
public:
    QtTranslations();
    ~QtTranslations();

    // Replaces the loaded translation with the one for the language (0 German, 1 English,
    // which needs none). False when German was asked for and none was found.
    bool apply(int languageOffset);

    // Where translations are looked for: Qt's own folder, then "translations" beside the
    // program and the program's folder (a bundle that ships its own Qt).
    static QStringList folders();

private:
    std::unique_ptr<QTranslator> m_translator;
};

} // namespace qvr
