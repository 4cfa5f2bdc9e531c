#pragma once

class QWidget;

namespace qvr {

// Window lengths of the program are in twips (1/1440 inch). The conversion uses the
// widget's logical resolution, so a layout rule reads the same at every screen scale.
class Twips
{
public:
    static int fromPixels(const QWidget &w, int pixels);
    static int toPixels(const QWidget &w, int twips);
};

} // namespace qvr
