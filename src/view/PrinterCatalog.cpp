#include "PrinterCatalog.h"

#include <QPrinterInfo>

namespace qvr {

PrinterCatalog PrinterCatalog::installed()
{
    PrinterCatalog catalog;
    for (const QPrinterInfo &info : QPrinterInfo::availablePrinters())
        catalog.names << info.printerName();
    catalog.current = QPrinterInfo::defaultPrinterName();
    return catalog;
}

} // namespace qvr
