#include "PrinterCatalog.h"

#include <QPrinterInfo>

namespace qvr {

PrinterCatalog PrinterCatalog::installed()
{
    PrinterCatalog catalog;
    for (const QPrinterInfo &info : QPrinterInfo::availablePrinters())
        catalog.names << info.printerName();
    catalog.current = QPrinterInfo::defaultPrinterName();
    // Qt writes PDF on every platform, with or without a printer.
    catalog.pdf = true;
    return catalog;
}

} // namespace qvr
