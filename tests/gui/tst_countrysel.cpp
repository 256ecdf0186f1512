#include "TemporaryHome.h"
#include "app/AppFolders.h"
#include "app/KeyTranslator.h"
#include "app/MessageBoxes.h"
#include "country/CountrySelForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

// The country chooser is the only way to give a phone without a mobile country
// code a country, so it must not let the user out without a confirmed choice.
class TestCountrySel : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryHome> home;
    KeyTranslator translator;

    static QStringList itemTexts(const CountrySelForm &form)
    {
        QStringList texts;
        const auto *list = form.findChild<QListWidget *>(QStringLiteral("ltCountries"));
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
        return texts;
    }

    static void selectRow(CountrySelForm &form, const QString &text)
    {
        auto *list = form.findChild<QListWidget *>(QStringLiteral("ltCountries"));
        const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        list->setCurrentItem(found.first());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(translator.load(QStringLiteral(":/en.qm")));
        QCoreApplication::installTranslator(&translator);
    }

    void init()
    {
        home = std::make_unique<TemporaryHome>();
    }

    void cleanup()
    {
        home.reset();
    }

    void layoutAndTexts()
    {
        CountrySelForm form;
        QCOMPARE(form.size(), QSize(326, 398));
        QCOMPARE(form.windowTitle(), QStringLiteral("Dialog"));
        QVERIFY(form.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(!form.styleSheet().isEmpty());
        QCOMPARE(form.findChild<QLabel *>(QStringLiteral("lbTitle"))->text(),
                 QStringLiteral("Select your country code:"));
        QCOMPARE(form.findChild<QPushButton *>(QStringLiteral("btnOK"))->text(), QStringLiteral("OK"));
        QVERIFY(form.findChild<QLineEdit *>(QStringLiteral("txtKW")));
        QVERIFY(form.findChild<QWidget *>(QStringLiteral("widget")));
        QVERIFY(form.findChild<QWidget *>(QStringLiteral("widget_2")));
        const auto *outer = form.findChild<QVBoxLayout *>(QStringLiteral("verticalLayout_3"));
        QCOMPARE(outer->spacing(), 10);
        QCOMPARE(outer->contentsMargins().top(), 15);
        QCOMPARE(outer->contentsMargins().bottom(), 15);
        QCOMPARE(form.findChild<QVBoxLayout *>(QStringLiteral("verticalLayout_2"))->contentsMargins(),
                 QMargins(0, 10, 0, 0));
    }

    void listsEveryCountryByName()
    {
        CountrySelForm form;
        const QStringList texts = itemTexts(form);
        QVERIFY(texts.size() >= 230);
        QVERIFY(texts.contains(QStringLiteral("India (+91)")));
        QVERIFY(texts.contains(QStringLiteral("Canada (+1)")));
        QVERIFY(texts.indexOf(QStringLiteral("Albania (+355)")) < texts.indexOf(QStringLiteral("Zambia (+260)")));
        const auto *list = form.findChild<QListWidget *>(QStringLiteral("ltCountries"));
        const int india = texts.indexOf(QStringLiteral("India (+91)"));
        QCOMPARE(list->item(india)->data(Qt::UserRole).toString(), QStringLiteral("404"));
    }

    void typingFilters_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("ind") << "ind" << QStringList{QStringLiteral("British Indian Ocean Territory (+246)"),
                                                     QStringLiteral("India (+91)"),
                                                     QStringLiteral("Indonesia (+62)")};
        QTest::newRow("upper case") << "INDIA" << QStringList{QStringLiteral("British Indian Ocean Territory (+246)"),
                                                              QStringLiteral("India (+91)")};
        QTest::newRow("calling code") << "(+86)" << QStringList{QStringLiteral("China (+86)")};
        QTest::newRow("nothing matches") << "xyzzy" << QStringList();
    }
    void typingFilters()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        CountrySelForm form;
        QTest::keyClicks(form.findChild<QLineEdit *>(QStringLiteral("txtKW")), typed);
        QCOMPARE(itemTexts(form), expected);
    }

    void clearingTheFilterShowsAllAgain()
    {
        CountrySelForm form;
        const int all = itemTexts(form).size();
        form.kwinput(QStringLiteral("ind"));
        QCOMPARE(itemTexts(form).size(), 3);
        form.kwinput(QString());
        QCOMPARE(itemTexts(form).size(), all);
    }

    void okWithoutSelectionWarnsAndStays()
    {
        CountrySelForm form;
        form.show();
        MessageBoxes::TestRecorder boxes(QMessageBox::Ok);
        QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.lastIcon(), QMessageBox::Warning);
        QCOMPARE(boxes.lastText(), QStringLiteral("Please select a cuntry code first to continue."));
        QVERIFY(form.isVisible());
        QVERIFY(form.selectedMobileCode().isEmpty());
    }

    void declinedConfirmationStays()
    {
        CountrySelForm form;
        form.show();
        selectRow(form, QStringLiteral("India (+91)"));
        MessageBoxes::TestRecorder boxes(QMessageBox::No);
        form.accept();
        QCOMPARE(boxes.count(), 1);
        QCOMPARE(boxes.lastIcon(), QMessageBox::Question);
        QCOMPARE(boxes.lastText(), QStringLiteral("Confirm to select India (+91)?"));
        QVERIFY(form.isVisible());
        QVERIFY(form.selectedMobileCode().isEmpty());
    }

    void confirmedChoiceGivesItsMobileCode()
    {
        CountrySelForm form;
        form.show();
        form.kwinput(QStringLiteral("fran"));
        selectRow(form, QStringLiteral("France (+33)"));
        MessageBoxes::TestRecorder boxes(QMessageBox::Yes);
        QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
        QCOMPARE(boxes.count(), 1);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(form.selectedMobileCode(), QStringLiteral("208"));
    }

    void escapeAndCloseLeaveItOpen()
    {
        CountrySelForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::keyClick(&form, Qt::Key_Escape);
        QVERIFY(form.isVisible());
        QVERIFY(!form.close());
        QVERIFY(form.isVisible());
        form.reject();
        QVERIFY(form.isVisible());
    }
};

QTEST_MAIN(TestCountrySel)
#include "tst_countrysel.moc"
