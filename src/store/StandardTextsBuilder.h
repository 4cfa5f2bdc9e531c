#pragma once

#include <QString>

namespace qvr {

// Builds a standard texts file from a readable source, one text per line:
//   language code <TAB> number <TAB> line 1 <TAB> line 2 <TAB> line 3
// Empty lines and lines starting with "#" are skipped; missing lines are empty. Each
// language code becomes a table (Nummer, Zeile1, Zeile2, Zeile3).
class StandardTextsBuilder
{
public:
    static bool build(const QString &source, const QString &targetPath, QString *error = nullptr);
    static bool buildFromFile(const QString &sourcePath, const QString &targetPath,
                              QString *error = nullptr);
};

} // namespace qvr
