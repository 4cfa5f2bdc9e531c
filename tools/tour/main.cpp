// qvr-history-tour: opens every window and dialog of the window program in turn and saves a
// picture of the screen for each, so the whole program can be looked at in one folder.
// scripts/screenshot.sh runs it under Xvfb, once per language.
//
//   qvr-history-tour --settings FILE --out DIR --zl FILE.his --pv FILE.his [--readout]
//
// The settings file chooses the language and the interface (for --readout, COM1 on a
// simulated panel at bus address 17). Pictures are named DIR/NN-what.png.

#include "bus/ui/frm_Daten_empfangen.h"
#include "core/SettingsStore.h"
#include "core/TextTable.h"
#include "shell/SingleInstance.h"
#include "shell/WidgetAsker.h"
#include "shell/frm_Hauptfenster.h"
#include "view/frm_Historiendaten.h"
#include "view/frm_filter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace qvr {
namespace {

class Tour
{
public:
    Tour(frm_Hauptfenster &window, QString out) : m_window(window), m_out(std::move(out)) {}

    bool ok() const { return m_ok; }

    // Lets the windows settle and paint.
    static void pause(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

    void shoot(const QString &what)
    {
        pause(400);
        const QString file = QDir(m_out).filePath(
            QStringLiteral("%1-%2.png").arg(++m_count, 2, 10, QLatin1Char('0')).arg(what));
        if (!QGuiApplication::primaryScreen()->grabWindow(0).save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            m_ok = false;
        }
    }

    // Runs `command`, which shows a modal window; `inside` works in that window (its
    // picture taken), then the window is closed the way `close` says.
    void modal(const std::function<void()> &command, const std::function<void(QWidget *)> &inside,
               const char *what = "")
    {
        QTimer poll;
        bool done = false;
        poll.setInterval(50);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget *w = QApplication::activeModalWidget();
            if (!w || done)
                return;
            done = true;
            poll.stop();
            inside(w);
        });
        poll.start();
        command();
        if (!done) {
            std::fprintf(stderr, "no window appeared: %s\n", what);
            m_ok = false;
        }
    }

    static void closeModal(QWidget *w)
    {
        if (auto *dialog = qobject_cast<QDialog *>(w))
            dialog->reject();
        else
            w->close();
    }

    // File > Open, the file chosen in the dialog (pictured once).
    void openFile(const QString &path, const QString &picture = QString())
    {
        modal([&] { m_window.runFileCommand(2); },
              [&](QWidget *w) {
                  if (!picture.isEmpty())
                      shoot(picture);
                  auto *dialog = qobject_cast<QFileDialog *>(w);
                  if (!dialog)
                      return closeModal(w);
                  // Typed into the name box, as a user would.
                  if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                      name->setText(path);
                  static_cast<QDialog *>(dialog)->accept();
                  // A dialog that did not take the name must not keep the tour waiting.
                  if (dialog->isVisible()) {
                      std::fprintf(stderr, "the open dialog refused %s\n", qPrintable(path));
                      m_ok = false;
                      closeModal(dialog);
                  }
              },
              "open");
    }

    void run(const QString &zl, const QString &pv, bool readout)
    {
        shoot(QStringLiteral("start"));
        openFile(zl, QStringLiteral("open-dialog"));
        shoot(QStringLiteral("grid"));
        if (auto *menu = m_window.findChild<QMenu *>(QStringLiteral("dateimenu"))) {
            m_window.menuBar()->setActiveAction(menu->menuAction());
            shoot(QStringLiteral("file-menu"));
            menu->close();
        }

        modal([&] { m_window.runFileCommand(5); },
              [&](QWidget *w) {
                  // A clause built with the window's own buttons.
                  if (auto *add = w->findChild<QPushButton *>(QString::fromUtf8("cmd_hinzufügen")))
                      add->click();
                  shoot(QStringLiteral("filter"));
                  closeModal(w);
              });
        modal([&] { m_window.runFileCommand(5); },
              [&](QWidget *w) {
                  auto *clause = w->findChild<QPlainTextEdit *>(QStringLiteral("txt_filter"));
                  auto *filter = w->findChild<QPushButton *>(QStringLiteral("cmd_1(1)"));
                  if (!clause || !filter)
                      return closeModal(w);
                  clause->setPlainText(
                      QStringLiteral("Start_Datum_Filter>#12/5/2026# and Text1 like"));
                  filter->setEnabled(true);
                  // The refusal comes as a box of its own, over the filter window.
                  QTimer::singleShot(0, w, [this, filter] {
                      modal([filter] { filter->click(); },
                            [this](QWidget *box) {
                                shoot(QStringLiteral("filter-refused"));
                                closeModal(box);
                            });
                  });
              });

        modal([&] { m_window.runFileCommand(6); },
              [&](QWidget *w) {
                  shoot(QStringLiteral("print-preview"));
                  closeModal(w);
              });

        showDetail(QStringLiteral("detail-zl"));
        modal([&] { m_window.runSettingsCommand(2); },
              [&](QWidget *w) {
                  shoot(QStringLiteral("language"));
                  closeModal(w);
              });
        modal([&] { m_window.runHelpCommand(2); },
              [&](QWidget *w) {
                  shoot(QStringLiteral("about"));
                  closeModal(w);
              });
        m_window.runSettingsCommand(1);
        if (auto *dialog = m_window.findChild<QDialog *>(QStringLiteral("Com_CFG"))) {
            shoot(QStringLiteral("interface"));
            dialog->close();
        }

        openFile(pv);
        shoot(QStringLiteral("grid-pv"));
        showDetail(QStringLiteral("detail-pv"));

        if (readout)
            readOut();
        m_window.fileState().gNewData = false;
    }

    // Opens the detail view of the first event that has one.
    void showDetail(const QString &what)
    {
        frm_Historiendaten *history = m_window.historyWindow();
        if (!history) {
            m_ok = false;
            return;
        }
        const int rows = history->grid()->model()->rowCount();
        const int typeColumn = 8;
        for (int r = 0; r < rows; ++r) {
            if (history->grid()->model()->index(r, typeColumn).data().toString().isEmpty())
                continue;
            modal([&] { history->GridClick(r + 1, 0); },
                  [&](QWidget *w) {
                      // The device's display is shown, as a user would switch it on.
                      if (auto *display = w->findChild<QComboBox *>(QStringLiteral("Combo1(15)"))) {
                          display->setCurrentIndex(1);
                          emit display->activated(1);
                      }
                      shoot(what);
                      closeModal(w);
                  });
            return;
        }
    }

    // A read-out on the simulated panel into the open file, pictured while it runs, then
    // stopped. The questions before and after it are answered as a user would.
    void readOut()
    {
        bool pictured = false;
        QTimer poll;
        poll.setInterval(100);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget *top = QApplication::activeModalWidget();
            auto *dialog = qobject_cast<frm_Daten_empfangen *>(top);
            if (auto *box = qobject_cast<QMessageBox *>(top)) {
                // "Add to the current file?" before, messages after the read-out.
                if (QAbstractButton *yes = box->button(QMessageBox::Yes))
                    yes->click();
                else
                    box->close();
                return;
            }
            if (!dialog || pictured)
                return;
            pictured = true;
            // Without a window manager nobody makes the dialog active, and it opens its
            // port when it becomes active.
            if (!dialog->isActiveWindow())
                dialog->onActivated();
            auto *address = dialog->findChild<QComboBox *>(QStringLiteral("Combo1"));
            auto *start = dialog->findChild<QPushButton *>(QStringLiteral("Command1(0)"));
            if (address && start) {
                address->setCurrentIndex(16); // bus address 17
                emit address->activated(16);
                start->click();
                pause(6000);
            }
            shoot(QStringLiteral("readout"));
            // Stopping hands the bus back.
            if (auto *cancel = dialog->findChild<QPushButton *>(QStringLiteral("Command1(1)")))
                cancel->click();
            for (int i = 0; i < 100 && dialog->isVisible(); ++i)
                pause(100);
            if (dialog->isVisible())
                closeModal(dialog);
        });
        poll.start();
        m_window.runFileCommand(1);
        for (int i = 0; i < 20 && QApplication::activeModalWidget(); ++i)
            pause(100);
        if (!pictured) {
            std::fprintf(stderr, "no read-out dialog appeared\n");
            m_ok = false;
        }
    }

private:
    frm_Hauptfenster &m_window;
    QString m_out;
    int m_count = 0;
    bool m_ok = true;
};

QString option(const QStringList &args, const QString &name)
{
    const qsizetype i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : QString();
}

} // namespace
} // namespace qvr

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QVR-History"));
    const QStringList args = QApplication::arguments();
    const QString out = qvr::option(args, QStringLiteral("--out"));
    const QString zl = qvr::option(args, QStringLiteral("--zl"));
    const QString pv = qvr::option(args, QStringLiteral("--pv"));
    if (out.isEmpty() || !QFileInfo(zl).isFile() || !QFileInfo(pv).isFile()) {
        std::fprintf(stderr, "usage: qvr-history-tour --settings FILE --out DIR --zl FILE.his "
                             "--pv FILE.his [--readout]\n");
        return 2;
    }
    QDir().mkpath(out);

    auto asker = std::make_unique<qvr::WidgetAsker>();
    qvr::WidgetAsker *askerView = asker.get();
    qvr::frm_Hauptfenster window(qvr::SettingsStore::forProgram(args), std::move(asker));
    askerView->setParent(&window);
    askerView->setTexts(&window.texts());
    if (!window.startUp({args.first()}, QDir(out).filePath(QStringLiteral("tour.lock"))))
        return 1;
    window.move(0, 0);
    window.show();
    window.activateWindow();

    // A box the tour does not expect is reported and closed, so the tour never hangs.
    QTimer watchdog;
    QPointer<QWidget> lastBox;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box && box == lastBox) {
            std::fprintf(stderr, "unexpected message: %s\n", qPrintable(box->text()));
            box->close();
        }
        lastBox = box;
    });
    watchdog.start(8000);

    qvr::Tour tour(window, out);
    int status = 0;
    QTimer::singleShot(1500, &window, [&] {
        tour.run(zl, pv, args.contains(QStringLiteral("--readout")));
        status = tour.ok() ? 0 : 1;
        window.close();
    });
    QApplication::exec();
    return status;
}
