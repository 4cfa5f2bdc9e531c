// The history grid on a site's archive of 100,000 events: loading the window, a header
// sort and Reset Filter, each printed against a floor measured in the same run — a plain
// QTableView over a minimal table model that already holds the same 18 strings per row.

#include "core/Asker.h"
#include "core/TextTable.h"
#include "decode/ReadoutState.h"
#include "store/HistorySchema.h"
#include "store/StoreState.h"
#include "view/HistoryGridModel.h"
#include "view/ViewState.h"
#include "view/frm_Historiendaten.h"
#include "view/frm_filter.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

using namespace qvr;

namespace {

constexpr int kEvents = 100000;

class SilentAsker : public Asker
{
public:
    int messages = 0;
    Answer message(const QString &, const QString &, Icon, Buttons, bool) override
    {
        ++messages;
        return Answer::Ok;
    }
    QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &, const QString &) override
    {
        return {};
    }
};

// The floor: rows of ready-made strings.
class PlainModel : public QAbstractTableModel
{
public:
    std::vector<QStringList> rows;
    int rowCount(const QModelIndex &p = {}) const override { return p.isValid() ? 0 : int(rows.size()); }
    int columnCount(const QModelIndex &p = {}) const override { return p.isValid() ? 0 : 18; }
    QVariant data(const QModelIndex &i, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        return rows[std::size_t(i.row())][i.column()];
    }
    void sort(int column, Qt::SortOrder order) override
    {
        emit layoutAboutToBeChanged();
        std::stable_sort(rows.begin(), rows.end(), [&](const QStringList &a, const QStringList &b) {
            const int c = a[column].compare(b[column], Qt::CaseInsensitive);
            return order == Qt::AscendingOrder ? c < 0 : c > 0;
        });
        emit layoutChanged();
    }
};

long residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

bool fillHistory(StoreState &store)
{
    // Events of 99 panels over about three years, with acknowledge and stop times, text
    // lines and analogue values, as a busy site collects them.
    const QString sql = QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
        "INSERT INTO HISTORY (TableauAdresse, ParameterNummer, Start_Datum, Start_Datum_Sort,"
        " Start_Datum_Filter, Start_Uhrzeit_Filter, Quittiert_JN, Quittiert_Datum,"
        " Quittiert_Datum_Sort, Stop_JN, Stop_Datum, Stop_Datum_Sort, Test_JN, geraetetyp,"
        " Kanal, GeraeteAdresse1, GeraeteAdresse2, Eingang, Meldeleuchte, Text1, Text2, Text3,"
        " EIBEingang, AnalogWertMin, AnalogWertMax) "
        "SELECT i % 99 + 1, i % 650, 45000 + (i * 7919 % 100000) / 100.0,"
        " 45000 + (i * 7919 % 100000) / 100.0, 45000 + (i * 7919 % 100000) / 100,"
        " ((i * 7919 % 100000) % 100) / 100.0, i % 2, 45000.01 + (i * 7919 % 100000) / 100.0,"
        " 45000.01 + (i * 7919 % 100000) / 100.0, i % 3 = 0, 45000.02 + (i * 7919 % 100000) / 100.0,"
        " 45000.02 + (i * 7919 % 100000) / 100.0, i % 5 = 0, 'Typ ' || (i % 40),"
        " i % 12, i % 100, i % 256, i % 4, i % 3, 'Melder Halle ' || (i % 500),"
        " 'Gebaeude ' || (i % 37), 'Etage ' || (i % 9), i % 64, ' ' || (i % 1000) || ' mA',"
        " ' ' || (i % 2000) || ' mA' FROM n").arg(kEvents);
    return store.gDatabase->execute(sql);
}

// CPU seconds of this process: the machine is shared, and wall time would mostly measure
// the other programs running beside the benchmark.
double cpuNow()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

template<typename F> double seconds(F &&f)
{
    const double start = cpuNow();
    f();
    return cpuNow() - start;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    StoreState store;
    ReadoutState readout;
    ViewState view;
    Texts texts;
    SilentAsker asker;
    QString error;
    if (!HistorySchema::CreateHistoryDatabase(store, dir.filePath(QStringLiteral("bench.tmp")), &error)
        || !fillHistory(store)) {
        std::fprintf(stderr, "cannot build the history file: %s\n", qPrintable(error));
        return 1;
    }

    // Our window.
    const long rssBefore = residentKiB();
    std::unique_ptr<frm_Historiendaten> window;
    const double load = seconds([&] {
        window = std::make_unique<frm_Historiendaten>(store, readout, view, texts, asker, nullptr);
        window->resize(1200, 800);
        window->grid()->resize(1150, 700);
        window->show();
        QCoreApplication::processEvents();
    });
    const long rssAfter = residentKiB();
    if (window->gridModel()->rowCount() != kEvents || asker.messages != 0) {
        std::fprintf(stderr, "the grid did not load all events\n");
        return 1;
    }

    // The floor holds the same strings, made outside the timing (but inside its memory).
    const long rssFloorBefore = residentKiB();
    auto plain = std::make_unique<PlainModel>();
    std::vector<QStringList> strings(kEvents);
    for (int r = 0; r < kEvents; ++r)
        for (int c = 0; c < 18; ++c)
            strings[std::size_t(r)] << window->gridModel()->cellText(r, c);
    QTableView plainView;
    const double floorLoad = seconds([&] {
        plain->rows = strings;
        plainView.setModel(plain.get());
        plainView.resize(1150, 700);
        plainView.resizeColumnsToContents();
        plainView.show();
        QCoreApplication::processEvents();
    });
    const long rssFloorAfter = residentKiB();

    const double sort = seconds([&] {
        window->GridClick(0, 2);
        QCoreApplication::processEvents();
    });
    const double sortText = seconds([&] {
        window->GridClick(0, 12);
        QCoreApplication::processEvents();
    });
    const double floorSort = seconds([&] {
        plainView.sortByColumn(12, Qt::AscendingOrder);
        QCoreApplication::processEvents();
    });

    double reset = 0;
    {
        frm_filter filter(store, readout, *window, texts, asker, nullptr);
        reset = seconds([&] {
            filter.cmd_1_Click(2);
            QCoreApplication::processEvents();
        });
    }
    if (window->gridModel()->rowCount() != kEvents || asker.messages != 0) {
        std::fprintf(stderr, "Reset Filter did not show all events\n");
        return 1;
    }
    const double floorReload = seconds([&] {
        plainView.setModel(nullptr);
        plain = std::make_unique<PlainModel>();
        plain->rows = strings;
        plainView.setModel(plain.get());
        plainView.resizeColumnsToContents();
        QCoreApplication::processEvents();
    });

    std::printf("history grid, %d events, CPU seconds (targets: load < 1 s and < 200 MB, sort < 0.5 s,"
                " reset < 0.5 s)\n", kEvents);
    std::printf("load          %7.3f s  floor %7.3f s  ratio %6.2f\n", load, floorLoad, load / floorLoad);
    std::printf("load memory   %7.1f MB floor %7.1f MB ratio %6.2f\n", (rssAfter - rssBefore) / 1024.0,
                (rssFloorAfter - rssFloorBefore) / 1024.0,
                double(rssAfter - rssBefore) / double(std::max(1L, rssFloorAfter - rssFloorBefore)));
    std::printf("sort by date  %7.3f s  floor %7.3f s  ratio %6.2f\n", sort, floorSort, sort / floorSort);
    std::printf("sort by text  %7.3f s  floor %7.3f s  ratio %6.2f\n", sortText, floorSort, sortText / floorSort);
    std::printf("reset filter  %7.3f s  floor %7.3f s  ratio %6.2f\n", reset, floorReload, reset / floorReload);
    return 0;
}
