#pragma once

#include <QString>
#include <QStringList>

namespace qvr {

// The printers the system offers and the one it uses unless told otherwise.
struct PrinterCatalog
{
    QStringList names;
    QString current;
    // Whether a PDF file can be written in place of printing.
    bool pdf = true;

    // The installed printers, in the order the print system lists them. Empty when none
    // is installed (a bare QPrinter would then silently write PDF, so "no printer" is
    // decided here, never from a QPrinter).
    static PrinterCatalog installed();
};

} // namespace qvr
