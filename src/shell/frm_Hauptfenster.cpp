#include "frm_Hauptfenster.h"

#include "HelpViewer.h"
#include "MousePointer.h"
#include "SingleInstance.h"
#include "Twips.h"
#include "bus/ui/BusConnection.h"
#include "bus/ui/Com_CFG.h"
#include "bus/ui/frm_Daten_empfangen.h"
#include "core/Asker.h"
#include "core/Folders.h"
#include "core/SettingsStore.h"
#include "decode/ReadoutState.h"
#include "frm_Sprache.h"
#include "frm_Startbild.h"
#include "frm_ueber.h"
#include "store/HistoryFile.h"
#include "store/HistorySchema.h"
#include "store/StoreState.h"
#include "view/CsvExport.h"
#include "view/HistoryGridModel.h"
#include "view/ViewState.h"
#include "view/frm_Historiendaten.h"
#include "view/frm_drucken.h"
#include "view/frm_filter.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>

namespace qvr {

namespace {
// Toolbar buttons by index: key and the File command they run.
struct ToolButton
{
    const char *key;
    int fileCommand;
};
constexpr std::array<ToolButton, 6> kButtons = {{{"", 0},
                                                 {"Daten_einlesen", 1},
                                                 {"Datei_offnen", 2},
                                                 {"Datei_speichern", 3},
                                                 {"Datei_filtern", 5},
                                                 {"Datei_drucken", 6}}};

// The File menu's export entry and its texts.
constexpr int kExportMenuId = 1200;
constexpr int kExportTitleId = 1210;
constexpr int kExportFilterId = 1220;
constexpr int kExportFailedId = 1230;

QString arrayName(const char *name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

QString withoutTrailingSeparator(QString path)
{
    if (path.endsWith(QLatin1Char('\\')) || (path.size() > 1 && path.endsWith(QLatin1Char('/'))))
        path.chop(1);
    return path;
}
} // namespace

frm_Hauptfenster::frm_Hauptfenster(std::unique_ptr<SettingsStore> settings,
                                   std::unique_ptr<Asker> asker, QWidget *parent)
    : QMainWindow(parent), m_settings(std::move(settings)), m_asker(std::move(asker)),
      m_store(std::make_unique<StoreState>()), m_readout(std::make_unique<ReadoutState>()),
      m_view(std::make_unique<ViewState>())
{
    setObjectName(QStringLiteral("frm_Hauptfenster"));
    m_files = std::make_unique<HistoryFile>(m_file, *m_store, *m_settings, m_texts, *m_asker, this);

    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MDIForm"));
    m_mdi->setBackground(QColor(10, 22, 44));
    setCentralWidget(m_mdi);
    buildMenus();
    buildToolbar();
    buildStatusBar();
    setFileCommandsEnabled(false);
    // Like the frame it replaces, the window may be made as low as the user likes; the
    // background window then shrinks to nothing.
    layout()->setSizeConstraint(QLayout::SetNoConstraint);
    setMinimumSize(0, 0);
    resize(1024, 720);
    setWindowTitle(m_texts.ResText(1000));
}

frm_Hauptfenster::~frm_Hauptfenster()
{
    shutDown();
}

void frm_Hauptfenster::buildMenus()
{
    m_dateimenu = menuBar()->addMenu(QString());
    m_dateimenu->setObjectName(QStringLiteral("dateimenu"));
    m_dateimenu->menuAction()->setObjectName(arrayName("dateimenu", 0));
    // Export (8) comes after Print, before the separator and Quit.
    for (int i : {1, 2, 3, 4, 5, 6, 8, 7}) {
        if (i == 7)
            m_dateimenu->addSeparator();
        QAction *a = m_dateimenu->addAction(QString());
        a->setObjectName(arrayName("Datei_menu", i));
        connect(a, &QAction::triggered, this, [this, i] { runFileCommand(i); });
        m_dateiMenu[size_t(i)] = a;
    }

    m_einstellungenmenu = menuBar()->addMenu(QString());
    m_einstellungenmenu->setObjectName(QStringLiteral("einstellungenmenu"));
    m_einstellungenmenu->menuAction()->setObjectName(arrayName("einstellungenmenu", 0));
    for (int i = 1; i <= 2; ++i) {
        QAction *a = m_einstellungenmenu->addAction(QString());
        a->setObjectName(arrayName("einstellungen_menu", i));
        connect(a, &QAction::triggered, this, [this, i] { runSettingsCommand(i); });
        m_einstellungenMenu[size_t(i)] = a;
    }

    m_hilfemenu = menuBar()->addMenu(QString());
    m_hilfemenu->setObjectName(QStringLiteral("hilfemenu"));
    m_hilfemenu->menuAction()->setObjectName(arrayName("hilfemenu", 0));
    for (int i = 1; i <= 2; ++i) {
        QAction *a = m_hilfemenu->addAction(QString());
        a->setObjectName(arrayName("hilfe_menu", i));
        connect(a, &QAction::triggered, this, [this, i] { runHelpCommand(i); });
        m_hilfeMenu[size_t(i)] = a;
    }
}

void frm_Hauptfenster::buildToolbar()
{
    m_toolbar = addToolBar(QString());
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setIconSize(QSize(32, 32));
    for (int i = 1; i <= 5; ++i) {
        const QString key = QLatin1String(kButtons[size_t(i)].key);
        QAction *a =
            m_toolbar->addAction(QIcon(QStringLiteral(":/qvr/shell/%1.png").arg(key)), QString());
        a->setObjectName(key);
        a->setData(i);
        connect(a, &QAction::triggered, this, [this, key] { toolbarButtonClick(key); });
        m_buttons[size_t(i)] = a;
        if (i == 2)
            m_toolbar->addSeparator();
    }
}

void frm_Hauptfenster::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    for (int i = 1; i <= 3; ++i) {
        auto *panel = new QLabel(bar);
        panel->setObjectName(arrayName("Panels", i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setContentsMargins(4, 0, 4, 0);
        // Panel 1 takes the room a long path needs; 3 holds the version.
        if (i == 1)
            bar->addWidget(panel, 1);
        else
            bar->addPermanentWidget(panel);
        m_panels[size_t(i)] = panel;
    }
    m_panels[2]->setMinimumWidth(120);
    m_panels[3]->setText(QLatin1String(kVersion));
}

void frm_Hauptfenster::setFileCommandsEnabled(bool enabled)
{
    for (int i : {3, 4, 5, 6, 8})
        m_dateiMenu[size_t(i)]->setEnabled(enabled);
    for (int i = 3; i <= 5; ++i)
        m_buttons[size_t(i)]->setEnabled(enabled);
}

// ---------------------------------------------------------------------------------------
// Start-up

QString frm_Hauptfenster::commandLineFrom(const QStringList &arguments)
{
    QStringList rest;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("--settings")) {
            ++i;
            continue;
        }
        if (a.startsWith(QLatin1String("--settings=")))
            continue;
        rest << a;
    }
    QString line = rest.join(QLatin1Char(' '));
    if (line.startsWith(QLatin1Char('"'))) {
        line.remove(0, 1);
        line.chop(1);
    }
    return line;
}

bool frm_Hauptfenster::startUp(const QStringList &arguments, const QString &lockPath)
{
    MousePointer::showHourglass();

    // Whether another instance runs is asked first, so a second start ends silently,
    // before it would ask for a language or touch a file.
    m_instance = std::make_unique<SingleInstance>(lockPath);
    if (!m_instance->acquire()) {
        m_instance.reset();
        m_shutDown = true; // nothing of this instance to close
        MousePointer::restoreDefault();
        return false;
    }

    m_shell.gAppPath = withoutTrailingSeparator(InstallationFolder(*m_settings));
    m_shell.helpFile = helpFileFor(0);

    // 99 means "not chosen yet". Other values than 0 and 1 would leave every text empty,
    // so they are asked again like a first start.
    const long long language = LeadingNumber(m_settings->ReadSetting(
        QStringLiteral("Sprache"), QStringLiteral("Sprache"), QStringLiteral("99")));
    if (language == 0 || language == 1) {
        m_texts.gLanguageOffset = qint16(language);
    } else {
        m_texts.gLanguageOffset = 1;
        showLanguageWindow();
    }

    m_store->gWorkspace = Workspace();

    m_startbild = new frm_Startbild(QCoreApplication::applicationDirPath());
    m_startbildWindow = m_mdi->addSubWindow(m_startbild, Qt::FramelessWindowHint);
    m_startbildWindow->setObjectName(QStringLiteral("frm_Startbild_window"));
    // The background never takes a click or the focus from the history window.
    m_startbildWindow->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_startbildWindow->setFocusPolicy(Qt::NoFocus);
    m_startbildWindow->show();
    m_startbildWindow->lower();
    connect(m_mdi, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *w) {
        if (w && w == m_startbildWindow) {
            m_startbildWindow->lower();
            if (m_historyWindow)
                m_mdi->setActiveSubWindow(m_historyWindow);
        }
    });

    m_file.gFileName.clear();
    m_file.gWorkFile.clear();
    m_file.gNewData = false;

    ApplyLanguageTexts();

    m_shell.gCommandLine = commandLineFrom(arguments);
    m_started = true;
    applyLayoutRules();
    return true;
}

bool frm_Hauptfenster::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate && m_started && !m_shutDown)
        onActivated();
    return QMainWindow::event(e);
}

void frm_Hauptfenster::onActivated()
{
    if (!m_shell.gCommandLine.isEmpty() && QFileInfo(m_shell.gCommandLine).isFile()) {
        QString path = m_shell.gCommandLine;
        // Emptied before the open, so the file is opened once even if the open's own
        // boxes activate this window again.
        m_shell.gCommandLine.clear();
        m_files->OpenHistoryFile(path);
        if (!m_file.gFileCancelled) {
            RefreshFileDisplay();
            m_file.gNewData = false;
            showHistoryWindow();
        }
    }
    MousePointer::restoreDefault();
}

// ---------------------------------------------------------------------------------------
// Texts, caption and file display

void frm_Hauptfenster::ApplyLanguageTexts()
{
    // Qt's own dialogs and buttons follow the language too.
    m_qtTranslations.apply(m_texts.gLanguageOffset);
    setWindowTitle(m_texts.ResText(1000));
    m_dateimenu->setTitle(m_texts.ResText(1010));
    for (int i = 1; i <= 7; ++i)
        m_dateiMenu[size_t(i)]->setText(m_texts.ResText(1010 + 10 * i));
    m_dateiMenu[8]->setText(m_texts.ResText(kExportMenuId));
    m_einstellungenmenu->setTitle(m_texts.ResText(1090));
    for (int i = 1; i <= 2; ++i)
        m_einstellungenMenu[size_t(i)]->setText(m_texts.ResText(1090 + 10 * i));
    m_hilfemenu->setTitle(m_texts.ResText(1120));
    for (int i = 1; i <= 2; ++i)
        m_hilfeMenu[size_t(i)]->setText(m_texts.ResText(1120 + 10 * i));
    for (int i = 1; i <= 5; ++i) {
        const QString tip = m_texts.ResText(1140 + 10 * i);
        m_buttons[size_t(i)]->setText(tip);
        m_buttons[size_t(i)]->setToolTip(tip);
    }
}

void frm_Hauptfenster::RefreshFileDisplay()
{
    if (m_file.gWorkFile.isEmpty()) {
        // No file open any more (a failed open after the old one was closed).
        m_panels[1]->clear();
        setFileCommandsEnabled(false);
        setWindowTitle(m_texts.ResText(1000));
        return;
    }
    m_panels[1]->setText(QDir::toNativeSeparators(m_file.gFileName));
    setFileCommandsEnabled(true);
    setWindowTitle(HistoryFile::FileCaption(windowTitle(), m_file.gFileName));
}

void frm_Hauptfenster::setBusy(bool busy)
{
    if (busy)
        MousePointer::showHourglass();
    else
        MousePointer::restoreDefault();
}

void frm_Hauptfenster::showLanguageWindow()
{
    frm_Sprache window(
        m_texts, *m_settings, [this] { languageWindowClosed(); }, this);
    window.exec();
}

void frm_Hauptfenster::languageWindowClosed()
{
    ApplyLanguageTexts();
    // An open history window speaks the new language at once, without reading the file again.
    if (frm_Historiendaten *history = historyWindow())
        history->RefreshLanguage();
    if (!m_file.gWorkFile.isEmpty())
        setWindowTitle(HistoryFile::FileCaption(windowTitle(), m_file.gFileName));
}

// ---------------------------------------------------------------------------------------
// Layout

void frm_Hauptfenster::resizeEvent(QResizeEvent *e)
{
    QMainWindow::resizeEvent(e);
    applyLayoutRules();
}

void frm_Hauptfenster::applyLayoutRules()
{
    if (isMinimized() || !m_startbildWindow)
        return;
    const int heightTw = Twips::fromPixels(*this, height());
    const int backgroundTw = heightTw < 1400 ? 0 : heightTw - 1400;
    m_startbildWindow->setGeometry(0, 0, width(), Twips::toPixels(*this, backgroundTw));
    m_startbildWindow->lower();

    if (frm_Historiendaten *history = historyWindow())
        history->resizeToMainWindow(size());
}

// ---------------------------------------------------------------------------------------
// Commands

void frm_Hauptfenster::toolbarButtonClick(const QString &key)
{
    for (size_t i = 1; i < kButtons.size(); ++i) {
        if (key == QLatin1String(kButtons[i].key)) {
            runFileCommand(kButtons[i].fileCommand);
            return;
        }
    }
}

void frm_Hauptfenster::runFileCommand(int index)
{
    switch (index) {
    case 1:
        readOut();
        break;
    case 2:
        openFile();
        break;
    case 3:
        m_files->SaveHistoryFile();
        break;
    case 4:
        m_files->SaveHistoryFileAs();
        break;
    case 5:
        filterData();
        break;
    case 6:
        printFile();
        break;
    case 7:
        close();
        break;
    case 8:
        exportFile();
        break;
    default:
        break;
    }
}

void frm_Hauptfenster::readOut()
{
    if (isHistoryWindowOpen()) {
        if (m_file.gNewData && !m_files->AskSaveChanges())
            return;
        const Asker::Answer a = m_asker->message(
            m_texts.ResText(30070), QString(), Asker::Icon::Question, Asker::Buttons::YesNoCancel);
        if (a == Asker::Answer::Cancel)
            return;
        if (a == Asker::Answer::No) {
            if (!m_files->NewHistoryFile())
                return;
            RefreshFileDisplay();
        }
        closeHistoryWindow();
    }
    if (m_file.gWorkFile.isEmpty() || !QFileInfo(m_file.gWorkFile).isFile()) {
        if (!m_files->NewHistoryFile())
            return;
        RefreshFileDisplay();
    }
    MousePointer::showHourglass();
    QString error;
    HistorySchema::OpenTable(*m_store, QStringLiteral("HISTORY"), &error);
    // The interface dialog tests ports on the read-out's port: it must not stay open
    // beside a read-out.
    if (m_interfaceDialog)
        m_interfaceDialog->close();
    {
        frm_Daten_empfangen dialog(
            frm_Daten_empfangen::Context{
                busConnection(), *m_readout, *m_store, m_texts, *m_asker, m_shell.gAppPath,
                [this] { m_file.gNewData = true; }, [this] { m_files->SaveHistoryFile(); },
                [this] { showInterfaceDialog(true); },
                [this](bool enabled) { setInputEnabled(enabled); },
                [](bool busy) {
                    if (busy)
                        MousePointer::showHourglass();
                    else
                        MousePointer::restoreDefault();
                }},
            this);
        dialog.exec();
    }
    setInputEnabled(true);
    showHistoryWindow();
}

BusConnection &frm_Hauptfenster::busConnection()
{
    if (!m_bus)
        m_bus = std::make_unique<BusConnection>(*m_settings, m_texts, *m_asker);
    return *m_bus;
}

void frm_Hauptfenster::setBusHardware(SerialPort &port, Clock &clock, std::shared_ptr<void> owner)
{
    m_bus = std::make_unique<BusConnection>(port, clock, *m_settings, m_texts, *m_asker,
                                            std::move(owner));
}

void frm_Hauptfenster::setInputEnabled(bool enabled)
{
    menuBar()->setEnabled(enabled);
    m_toolbar->setEnabled(enabled);
    m_mdi->setEnabled(enabled);
}

void frm_Hauptfenster::showInterfaceDialog(bool modal)
{
    if (modal) {
        Com_CFG dialog(busConnection(), m_texts, *m_asker, &MousePointer::restoreDefault, this);
        dialog.exec();
        return;
    }
    if (m_interfaceDialog) {
        m_interfaceDialog->raise();
        m_interfaceDialog->activateWindow();
        MousePointer::restoreDefault();
        return;
    }
    auto *dialog = new Com_CFG(busConnection(), m_texts, *m_asker, &MousePointer::restoreDefault, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_interfaceDialog = dialog;
    dialog->show();
}

void frm_Hauptfenster::openFile()
{
    // Unsaved data is offered for saving whether or not its window is still open: the
    // user may have closed the history window and would lose the read-out otherwise.
    if (m_file.gNewData && !m_files->AskSaveChanges())
        return;
    QString path;
    m_files->OpenHistoryFile(path);
    if (m_file.gFileCancelled)
        return;
    closeHistoryWindow();
    RefreshFileDisplay();
    m_file.gNewData = false;
    MousePointer::showHourglass();
    showHistoryWindow();
}

void frm_Hauptfenster::filterData()
{
    MousePointer::showHourglass();
    // The filter narrows what the history window shows; bring it back if it was closed.
    if (!historyWindow())
        showHistoryWindow();
    if (frm_Historiendaten *history = historyWindow()) {
        MousePointer::showHourglass();
        frm_filter window(*m_store, *m_readout, *history, m_texts, *m_asker, this);
        window.exec();
    }
    MousePointer::restoreDefault();
}

void frm_Hauptfenster::printFile()
{
    if (m_file.gNewData && !m_files->AskSaveChanges())
        return;
    MousePointer::showHourglass();
    // What is printed is what the history window shows; bring it back if it was closed.
    if (!historyWindow())
        showHistoryWindow();
    MousePointer::showHourglass();
    frm_drucken::Source source;
    if (frm_Historiendaten *history = historyWindow()) {
        // What is printed is every row the window will show, in the order it will show them.
        history->finishBackgroundWork();
        source.grid = history->gridModel();
        source.rows = std::make_shared<const GridRowSource>(history->gridModel()->rows());
    }
    source.gFileName = m_file.gFileName;
    source.versionText = m_panels[3]->text();
    source.programTitle = m_texts.ResText(1000);
    frm_drucken window(m_texts, *m_asker, source, PrinterCatalog::installed(), this);
    QAction *button = m_buttons[5];
    connect(&window, &frm_drucken::printToolButtonPressed, this, [button](bool pressed) {
        button->setCheckable(pressed);
        button->setChecked(pressed);
    });
    connect(&window, &frm_drucken::defaultPointerRequested, this, &MousePointer::restoreDefault);
    window.exec();
    button->setChecked(false);
    button->setCheckable(false);
    MousePointer::restoreDefault();
}

void frm_Hauptfenster::exportFile()
{
    // What is exported is what the history window shows; bring it back if it was closed.
    if (!historyWindow())
        showHistoryWindow();
    frm_Historiendaten *history = historyWindow();
    if (!history)
        return;
    const QString suggested =
        QFileInfo(m_file.gFileName).completeBaseName() + QStringLiteral(".csv");
    QString target = m_asker->saveFileName(m_texts.ResText(kExportTitleId), m_files->dialogFolder(),
                                           m_texts.ResText(kExportFilterId), suggested);
    if (target.isEmpty())
        return;
    if (QFileInfo(target).suffix().isEmpty())
        target += QStringLiteral(".csv");

    // The grid as shown: its order, its filter, its visible columns and their headers. Every
    // row the window will show, read again from the file block by block (a copy of the
    // grid's rows with its own cache).
    history->finishBackgroundWork();
    const HistoryGridModel *model = history->gridModel();
    QList<int> columns;
    for (int c = 0; c < model->columnCount(); ++c)
        if (!history->grid()->isColumnHidden(c))
            columns << c;
    const CsvExport::Table table =
        CsvExport::fromRows(std::make_shared<const GridRowSource>(model->rows()), columns);
    MousePointer::showHourglass();
    QString error;
    const bool ok =
        CsvExport::writeFile(target, table, CsvExport::separator(m_texts.gLanguageOffset), &error);
    MousePointer::restoreDefault();
    if (!ok)
        m_asker->message(m_texts.ResText(kExportFailedId) + QStringLiteral("\n\n")
                             + QDir::toNativeSeparators(target) + QStringLiteral("\n") + error,
                         m_texts.ResText(1000), Asker::Icon::Critical, Asker::Buttons::Ok);
}

void frm_Hauptfenster::runSettingsCommand(int index)
{
    if (index == 1) {
        MousePointer::showHourglass();
        showInterfaceDialog(false);
    } else if (index == 2) {
        MousePointer::showHourglass();
        showLanguageWindow();
    }
}

QString frm_Hauptfenster::helpFileFor(int languageOffset) const
{
    const QString name = languageOffset != 0 ? QStringLiteral("QVR-HISTORY_EN.html")
                                             : QStringLiteral("QVR-HISTORY_DE.html");
    for (const QString &dir : {m_shell.gAppPath, QCoreApplication::applicationDirPath()}) {
        if (dir.isEmpty())
            continue;
        const QString candidate = QDir(dir).filePath(name);
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return QStringLiteral(":/qvr/help/") + name;
}

void frm_Hauptfenster::runHelpCommand(int index)
{
    m_shell.helpFile = helpFileFor(m_texts.gLanguageOffset);
    if (index == 1) {
        if (!m_help)
            m_help = new HelpViewer(this);
        m_help->showContents(m_shell.helpFile, m_texts.ResText(1530));
    } else if (index == 2) {
        frm_über about(m_texts, QLatin1String(kVersion), this);
        about.exec();
    }
}

// ---------------------------------------------------------------------------------------
// History window

frm_Historiendaten *frm_Hauptfenster::historyWindow() const
{
    return m_historyWindow ? qobject_cast<frm_Historiendaten *>(m_historyWindow->widget())
                           : nullptr;
}

bool frm_Hauptfenster::isHistoryWindowOpen() const
{
    return !m_historyWindow.isNull();
}

void frm_Hauptfenster::showHistoryWindow()
{
    if (!m_historyWindow) {
        // Its load opens the records of HISTORY and fills the grid.
        auto *history =
            new frm_Historiendaten(*m_store, *m_readout, *m_view, m_texts, *m_asker, this);
        // The row count, or that rows are still being read, in the second panel.
        connect(history, &frm_Historiendaten::statusTextChanged, m_panels[2], &QLabel::setText);
        m_panels[2]->setText(history->statusText());
        m_historyWindow = m_mdi->addSubWindow(history);
        m_historyWindow->setAttribute(Qt::WA_DeleteOnClose);
        m_historyWindow->setObjectName(QStringLiteral("frm_Historiendaten_window"));
    }
    m_historyWindow->show();
    m_mdi->setActiveSubWindow(m_historyWindow);
    applyLayoutRules();
    MousePointer::restoreDefault();
}

void frm_Hauptfenster::closeHistoryWindow()
{
    m_panels[2]->clear();
    if (m_historyWindow) {
        QMdiSubWindow *w = m_historyWindow;
        m_historyWindow.clear();
        w->close();
        delete w;
    }
}

// ---------------------------------------------------------------------------------------
// Shut-down

void frm_Hauptfenster::closeEvent(QCloseEvent *e)
{
    shutDown();
    e->accept();
}

void frm_Hauptfenster::shutDown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    // A cancelled save-as does not stop the shut-down: the user was asked.
    if (m_file.gNewData)
        m_files->AskSaveChanges();
    MousePointer::showHourglass();
    closeHistoryWindow();
    m_files->CloseHistoryFile();
    m_store->gWorkspace.Close();
    if (m_help)
        m_help->close();
    m_instance.reset();
    MousePointer::restoreDefault();
}

} // namespace qvr
