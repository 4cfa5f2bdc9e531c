#include "shell_helper.h"

#include "core/TextTable.h"
#include "shell/WidgetAsker.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>

using namespace qvr;
using qvr::test::ModalHandler;

// Message boxes speak the program's language, not Qt's built-in English.
class TestWidgetAsker : public QObject
{
    Q_OBJECT

private slots:
    void boxFollowsLanguage_data();
    void boxFollowsLanguage();
};

void TestWidgetAsker::boxFollowsLanguage_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("title");
    QTest::newRow("German") << 0 << QStringList{"&Ja", "&Nein", "Abbrechen"} << Texts().ResText(1000, 0);
    QTest::newRow("English") << 1 << QStringList{"&Yes", "&No", "Cancel"} << Texts().ResText(1000, 1);
}

void TestWidgetAsker::boxFollowsLanguage()
{
    QFETCH(int, language);
    QFETCH(QStringList, buttons);
    QFETCH(QString, title);
    Texts texts;
    texts.gLanguageOffset = qint16(language);
    WidgetAsker asker;
    asker.setTexts(&texts);
    QStringList seen;
    QString seenTitle;
    ModalHandler modal([&](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (!box)
            return;
        seenTitle = box->windowTitle();
        for (auto b : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
            seen << box->button(b)->text();
        box->button(QMessageBox::No)->click();
    });
    const auto answer = asker.message(texts.ResText(30000), QString(), Asker::Icon::Question,
                                      Asker::Buttons::YesNoCancel);
    QVERIFY(modal.handled());
    QCOMPARE(answer, Asker::Answer::No);
    QCOMPARE(seen, buttons);
    QCOMPARE(seenTitle, title);
}

QTEST_MAIN(TestWidgetAsker)
#include "tst_widgetasker.moc"
