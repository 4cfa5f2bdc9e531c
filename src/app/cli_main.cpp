#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::fprintf(stderr, "usage: qvr-history-cli readout --port DEVICE --connection RS232|USB|int.|ext. "
                         "--address N --file FILE.his [--baud N] [--settings FILE] [--lang de|en]\n");
    return 1;
}
