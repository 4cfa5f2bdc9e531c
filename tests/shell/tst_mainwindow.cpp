// The main window's commands, language switch, layout rule, help and shut-down.
#include "shell_helper.h"

#include "shell/HelpViewer.h"
#include "store/HistorySchema.h"
#include "store/StoreState.h"
#include "view/frm_Historiendaten.h"

#include <QAction>
#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextBrowser>

using namespace qvr;
using namespace qvr::test;

namespace {
QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

const QString kSaveQuestionDe = QString::fromUtf8("Änderungen speichern ?");
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void languageSwitchWithFileOpen_data();
    void languageSwitchWithFileOpen();
    void readOut_data();
    void readOut();
    void questionsBeforeLeavingUnsavedData_data();
    void questionsBeforeLeavingUnsavedData();
    void toolbarKeys_data();
    void toolbarKeys();
    void quitWithUnsavedData_data();
    void quitWithUnsavedData();
    void backgroundHeight_data();
    void backgroundHeight();
    void helpFollowsLanguageAndClosesAtShutDown_data();
    void helpFollowsLanguageAndClosesAtShutDown();
    void aboutWindowClosesWithCommand1();
};

void TestMainWindow::languageSwitchWithFileOpen_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("press");
    QTest::addColumn<QStringList>("menuTexts"); // File title, entry 1, entry 7, Settings, tool tip 5

    QTest::newRow("German to English")
        << "0" << "Sprache1"
        << QStringList{"&File", "&Read-out history", "&Close", "&Settings", "Print file"};
    QTest::newRow("English to German")
        << "1" << "Sprache0"
        << QStringList{"&Datei", "&Historienspeicher auslesen", "&Beenden", "&Einstellungen",
                       "Datei drucken"};
}

void TestMainWindow::languageSwitchWithFileOpen()
{
    QFETCH(QString, from);
    QFETCH(QString, press);
    QFETCH(QStringList, menuTexts);

    ShellFixture f;
    f.writeSettings("[Sprache]\nSprache=" + from + "\n");
    const QString plant = f.makeHistoryFile("plant.his");
    QVERIFY(f.start({plant}));
    QVERIFY(f.showActive());
    frm_Hauptfenster &w = f.window();
    QCOMPARE(w.windowTitle(), QStringLiteral("QVR-HISTORY   [plant.his]"));

    ModalHandler modal([&](QWidget *dlg) {
        QTest::mouseClick(dlg->findChild<QRadioButton *>(press), Qt::LeftButton);
    });
    w.runSettingsCommand(2);
    QVERIFY(modal.handled());

    QCOMPARE(w.windowTitle(), QStringLiteral("QVR-HISTORY   [plant.his]"));
    const QStringList shown{w.findChild<QMenu *>("dateimenu")->title(),
                            w.findChild<QAction *>("Datei_menu(1)")->text(),
                            w.findChild<QAction *>("Datei_menu(7)")->text(),
                            w.findChild<QMenu *>("einstellungenmenu")->title(),
                            w.findChild<QAction *>("Datei_drucken")->toolTip()};
    QCOMPARE(shown, menuTexts);
    QCOMPARE(f.readSetting("Sprache", "Sprache"), press.right(1));
    // The file stays open with its commands.
    QVERIFY(w.findChild<QAction *>("Datei_menu(4)")->isEnabled());
}

void TestMainWindow::readOut_data()
{
    QTest::addColumn<bool>("fileOpen");
    QTest::addColumn<QList<int>>("answers"); // Asker::Answer values, in order
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QString>("caption");

    using A = Asker::Answer;
    const QString addQuestion = QStringLiteral("Add new history data to current file?");
    QTest::newRow("no file: a new untitled file") << false << QList<int>{} << QStringList{}
                                                  << "QVR-HISTORY   [Untitled.his]";
    QTest::newRow("file open, Yes adds to it")
        << true << QList<int>{int(A::Yes)} << QStringList{addQuestion} << "QVR-HISTORY   [plant.his]";
    QTest::newRow("file open, No starts an untitled file")
        << true << QList<int>{int(A::No)} << QStringList{addQuestion}
        << "QVR-HISTORY   [Untitled.his]";
    QTest::newRow("file open, Cancel stops")
        << true << QList<int>{int(A::Cancel)} << QStringList{addQuestion}
        << "QVR-HISTORY   [plant.his]";
}

void TestMainWindow::readOut()
{
    QFETCH(bool, fileOpen);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, asked);
    QFETCH(QString, caption);

    ShellFixture f;
    f.writeSettings("[Sprache]\nSprache=1\n");
    const QString plant = f.makeHistoryFile("plant.his");
    QVERIFY(f.start(fileOpen ? QStringList{plant} : QStringList{}));
    QVERIFY(f.showActive());
    frm_Hauptfenster &w = f.window();
    for (int a : answers)
        f.asker().answers << Asker::Answer(a);

    w.runFileCommand(1);

    QCOMPARE(f.asker().messageTexts(), asked);
    QCOMPARE(w.windowTitle(), caption);
    const bool untitled = caption.contains("Untitled");
    QCOMPARE(QFileInfo(w.fileState().gWorkFile).fileName(),
             untitled ? QStringLiteral("Untitled.tmp") : QStringLiteral("plant.tmp"));
    QVERIFY(QFileInfo::exists(w.fileState().gWorkFile));
    if (untitled)
        QCOMPARE(QFileInfo(w.fileState().gWorkFile).absolutePath(), QFileInfo(f.dir()).absoluteFilePath());
    QVERIFY2(w.historyWindow(), "the history window is shown again after the read-out");
    for (int i = 3; i <= 6; ++i)
        QVERIFY(w.findChild<QAction *>(QStringLiteral("Datei_menu(%1)").arg(i))->isEnabled());
    // The user's file is never touched by a read-out that was not saved.
    QCOMPARE(ShellFixture::historyRows(plant), 0);
}

void TestMainWindow::questionsBeforeLeavingUnsavedData_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("closeHistoryWindow");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QStringList>("asked");

    using A = Asker::Answer;
    const QString q = QStringLiteral("Save changes?");
    QTest::newRow("open: No, then the open dialog")
        << 2 << false << QList<int>{int(A::No)} << QStringList{q, "open"};
    QTest::newRow("open: Yes on an untitled file asks a name; cancelled, no open dialog")
        << 2 << false << QList<int>{int(A::Yes)} << QStringList{q, "save"};
    QTest::newRow("open: asked even after the history window was closed")
        << 2 << true << QList<int>{int(A::No)} << QStringList{q, "open"};
    QTest::newRow("print: Yes, save-as cancelled, nothing printed")
        << 6 << false << QList<int>{int(A::Yes)} << QStringList{q, "save"};
    QTest::newRow("read-out: Yes, save-as cancelled, nothing read")
        << 1 << false << QList<int>{int(A::Yes)} << QStringList{q, "save"};
    QTest::newRow("save: an untitled file asks a name") << 3 << false << QList<int>{}
                                                        << QStringList{"save"};
}

void TestMainWindow::questionsBeforeLeavingUnsavedData()
{
    QFETCH(int, command);
    QFETCH(bool, closeHistoryWindow);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, asked);

    ShellFixture f;
    f.writeSettings("[Sprache]\nSprache=1\n");
    QVERIFY(f.start());
    QVERIFY(f.showActive());
    frm_Hauptfenster &w = f.window();
    w.runFileCommand(1); // an untitled file, as after a read-out
    w.fileState().gNewData = true;
    if (closeHistoryWindow) {
        w.historyWindow()->parentWidget()->close();
        QTRY_VERIFY(!w.historyWindow());
    }
    for (int a : answers)
        f.asker().answers << Asker::Answer(a);
    f.asker().calls.clear();

    w.runFileCommand(command);

    QCOMPARE(f.asker().messageTexts(), asked);
    // Nothing was saved or thrown away.
    QVERIFY(w.fileState().gNewData);
    QVERIFY(QFileInfo::exists(w.fileState().gWorkFile));
}

void TestMainWindow::toolbarKeys_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<bool>("fileAfter");

    QTest::newRow("read-out") << "Daten_einlesen" << QStringList{} << true;
    QTest::newRow("open") << "Datei_offnen" << QStringList{"open"} << false;
    QTest::newRow("other key does nothing") << "Datei_schliessen" << QStringList{} << false;
    QTest::newRow("empty key does nothing") << "" << QStringList{} << false;
}

void TestMainWindow::toolbarKeys()
{
    QFETCH(QString, key);
    QFETCH(QStringList, asked);
    QFETCH(bool, fileAfter);

    ShellFixture f;
    f.writeSettings("[Sprache]\nSprache=1\n");
    QVERIFY(f.start());
    QVERIFY(f.showActive());
    f.window().toolbarButtonClick(key);
    QCOMPARE(f.asker().messageTexts(), asked);
    QCOMPARE(!f.window().fileState().gWorkFile.isEmpty(), fileAfter);
}

void TestMainWindow::quitWithUnsavedData_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("rowsInUserFile");

    QTest::newRow("No leaves the file as last saved") << int(Asker::Answer::No) << 0;
    QTest::newRow("Yes saves") << int(Asker::Answer::Yes) << 1;
}

void TestMainWindow::quitWithUnsavedData()
{
    QFETCH(int, answer);
    QFETCH(int, rowsInUserFile);

    ShellFixture f;
    f.writeSettings("[Sprache]\nSprache=0\n");
    const QString plant = f.makeHistoryFile("plant.his");
    const QByteArray before = fileHash(plant);
    QVERIFY(f.start({plant}));
    QVERIFY(f.showActive());
    frm_Hauptfenster &w = f.window();
    const QString work = w.fileState().gWorkFile;
    QVERIFY(QFileInfo::exists(work));

    // New data in the working copy, as a read-out leaves it.
    QString error;
    QVERIFY2(HistorySchema::AppendEmptyHistoryRow(w.storeState(), &error), qPrintable(error));
    w.fileState().gNewData = true;
    f.asker().answers << Asker::Answer(answer);

    w.runFileCommand(7);

    QVERIFY(w.isShutDown());
    QCOMPARE(f.asker().messageTexts(), QStringList{kSaveQuestionDe});
    QVERIFY2(!QFileInfo::exists(work), "the working copy must be deleted at shut-down");
    if (rowsInUserFile == 0)
        QCOMPARE(fileHash(plant), before);
    QCOMPARE(ShellFixture::historyRows(plant), rowsInUserFile);
}

void TestMainWindow::backgroundHeight_data()
{
    QTest::addColumn<int>("frameHeight"); // pixels at 96 dpi (15 twips each)
    QTest::addColumn<int>("backgroundHeight");

    QTest::newRow("900 twips") << 60 << 0;
    QTest::newRow("1395 twips") << 93 << 0;
    QTest::newRow("1500 twips") << 100 << 6;
    QTest::newRow("6000 twips") << 400 << 306;
}

void TestMainWindow::backgroundHeight()
{
    QFETCH(int, frameHeight);
    QFETCH(int, backgroundHeight);

    ShellFixture f;
    f.writeSettings("[Sprache]\nSprache=0\n");
    QVERIFY(f.start());
    frm_Hauptfenster &w = f.window();
    if (w.logicalDpiY() != 96)
        QSKIP("the expected sizes are worked out for 96 dpi");
    w.show();
    w.resize(700, frameHeight);
    QTRY_COMPARE(w.height(), frameHeight);
    QCOMPARE(w.backgroundSubWindow()->height(), backgroundHeight);
    QCOMPARE(w.backgroundSubWindow()->width(), 700);
}

void TestMainWindow::helpFollowsLanguageAndClosesAtShutDown_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("heading");

    QTest::newRow("German") << "0" << "QVR-HISTORY_DE.html" << "Historienspeicher auslesen";
    QTest::newRow("English") << "1" << "QVR-HISTORY_EN.html" << "Reading out the history memory";
}

void TestMainWindow::helpFollowsLanguageAndClosesAtShutDown()
{
    QFETCH(QString, language);
    QFETCH(QString, fileName);
    QFETCH(QString, heading);

    ShellFixture f;
    f.writeSettings("[Sprache]\nSprache=" + language + "\n");
    QVERIFY(f.start());
    QVERIFY(f.showActive());
    frm_Hauptfenster &w = f.window();
    w.runHelpCommand(1);
    HelpViewer *help = w.helpViewer();
    QVERIFY(help && help->isVisible());
    QCOMPARE(QFileInfo(help->currentFile()).fileName(), fileName);
    QVERIFY(help->browser()->toPlainText().contains(heading));

    w.close();
    QVERIFY2(!help->isVisible(), "shut-down must close the help window");
}

void TestMainWindow::aboutWindowClosesWithCommand1()
{
    ShellFixture f;
    f.writeSettings("[Sprache]\nSprache=1\n");
    QVERIFY(f.start());
    QVERIFY(f.showActive());
    frm_Hauptfenster &w = f.window();
    QString text;
    QPoint offset;
    ModalHandler modal([&](QWidget *about) {
        QCOMPARE(about->objectName(), QString::fromUtf8("frm_über"));
        for (QLabel *l : about->findChildren<QLabel *>())
            text += l->text() + QLatin1Char(' ');
        offset = about->geometry().center() - w.geometry().center();
        QTest::mouseClick(about->findChild<QPushButton *>("Command1"), Qt::LeftButton);
    });
    w.runHelpCommand(2);
    QVERIFY(modal.handled());
    QVERIFY(text.contains("QVR-HISTORY"));
    QVERIFY(text.contains("3.4"));
    // Centred over the main window (window frames may shift it by their border).
    QVERIFY2(qAbs(offset.x()) <= 4 && qAbs(offset.y()) <= 4,
             qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
