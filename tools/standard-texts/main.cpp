// qvr-standard-texts: builds a standard texts file ("Standardtexte.bdb") from a readable
// source that an installation supplies, one text per line:
//   language code <TAB> number <TAB> line 1 <TAB> line 2 <TAB> line 3

#include "store/StandardTextsBuilder.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: qvr-standard-texts SOURCE.tsv TARGET.bdb\n");
        return 2;
    }
    QString error;
    if (!qvr::StandardTextsBuilder::buildFromFile(args.at(1), args.at(2), &error)) {
        std::fprintf(stderr, "qvr-standard-texts: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
