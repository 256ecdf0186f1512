// The device chooser of the transfers and the about box.

#include "tst_mainwindow_fixtures.h"

#include "app/MessageBoxes.h"
#include "ui/AboutUsForm.h"
#include "ui/DataSourceSelForm.h"

#include <QComboBox>
#include <QDate>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using windowtest::ModalDriver;
using Node = AbsTreeItemModel::_ItemNode;

class TestSmallDialogs : public QObject
{
    Q_OBJECT

private:
    KeyTranslator m_translator;
    Node m_phoneA{AbsTreeItemModel::KindAndroidDevice, QStringLiteral("Phone A")};
    Node m_phoneB{AbsTreeItemModel::KindAndroidDevice, QStringLiteral("Phone B")};

    QList<DataSourceSelForm::Choice> choices(const QList<Node *> &nodes) const
    {
        QList<DataSourceSelForm::Choice> list;
        for (Node *node : nodes)
            list.append({QStringLiteral(":res/android.png"), node->text, node});
        return list;
    }

    static QComboBox *combo(DataSourceSelForm &form)
    {
        return form.findChild<QComboBox *>(QStringLiteral("cbDevice"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_translator.load(QStringLiteral(":/en.qm")));
        QCoreApplication::installTranslator(&m_translator);
    }

    void chooserAsDesigned()
    {
        DataSourceSelForm form;
        QCOMPARE(form.objectName(), QStringLiteral("DataSourceSelForm"));
        QVERIFY(form.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(!form.styleSheet().isEmpty());
        QCOMPARE(form.findChild<QLabel *>(QStringLiteral("lbSelDevice"))->text(),
                 QStringLiteral("Please select a Device."));
        QCOMPARE(form.findChild<QPushButton *>(QStringLiteral("btnOK"))->text(), QStringLiteral("Confirm"));
        QCOMPARE(form.findChild<QPushButton *>(QStringLiteral("btnClose"))->text(), QStringLiteral("Cancel"));
    }

    void singlePhoneIsPreselected()
    {
        MessageBoxes::TestRecorder boxes;
        DataSourceSelForm form;
        form.setChoices(QStringLiteral("Please select an Android device:"), choices({&m_phoneA}));
        QCOMPARE(form.findChild<QLabel *>(QStringLiteral("lbSelDevice"))->text(),
                 QStringLiteral("Please select an Android device:"));
        QCOMPARE(combo(form)->count(), 1);
        QCOMPARE(combo(form)->itemText(0), QStringLiteral("Phone A"));
        QVERIFY(!combo(form)->itemIcon(0).isNull());
        QCOMPARE(form.currentNode(), &m_phoneA);
        form.onBtnOkPressed();
        QCOMPARE(boxes.count(), 0);
        QCOMPARE(form.result(), int(QDialog::Accepted));
    }

    void twoPhonesNeedAChoice()
    {
        MessageBoxes::TestRecorder boxes;
        DataSourceSelForm form;
        form.setChoices(QStringLiteral("pick"), choices({&m_phoneA, &m_phoneB}));
        QVERIFY(!form.currentNode());
        form.onBtnOkPressed();
        QCOMPARE(boxes.lastText(), QStringLiteral("Need to select a Device to continue."));
        QCOMPARE(form.result(), int(QDialog::Rejected));
        combo(form)->setCurrentIndex(1);
        form.onBtnOkPressed();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(form.currentNode(), &m_phoneB);
    }

    void chooseReturnsTheNodeOrNothing()
    {
        DataSourceSelForm form;
        ModalDriver<DataSourceSelForm> pickSecond([](DataSourceSelForm &shown) {
            combo(shown)->setCurrentIndex(1);
            QTest::mouseClick(shown.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
        });
        QCOMPARE(form.choose(QStringLiteral("pick"), choices({&m_phoneA, &m_phoneB})), &m_phoneB);
    }

    void emptyChooserCanOnlyBeCancelled()
    {
        MessageBoxes::TestRecorder boxes;
        DataSourceSelForm form;
        ModalDriver<DataSourceSelForm> tryBoth([](DataSourceSelForm &shown) {
            QTest::mouseClick(shown.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
            QTest::mouseClick(shown.findChild<QPushButton *>(QStringLiteral("btnClose")), Qt::LeftButton);
        });
        QCOMPARE(form.choose(QStringLiteral("pick"), {}), nullptr);
        QCOMPARE(boxes.lastText(), QStringLiteral("Need to select a Device to continue."));
    }

    void aboutBoxShowsTheProduct()
    {
        qputenv("FERRY_VENDOR_HOST", "");
        AboutUsForm about;
        QCOMPARE(about.objectName(), QStringLiteral("AboutUsForm"));
        QVERIFY(about.windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(about.findChild<QLabel *>(QStringLiteral("lbTitle"))->text(), QStringLiteral("About"));
        QCOMPARE(about.findChild<QLabel *>(QStringLiteral("lbProduct"))->text(),
                 QStringLiteral("Ferrywright Android SMS + MMS Transfer v3.2.09"));
        QVERIFY(about.findChild<QLabel *>(QStringLiteral("lbCopyRight"))
                    ->text()
                    .contains(QString::number(QDate::currentDate().year())));
        QVERIFY(about.findChild<QLabel *>(QStringLiteral("lbHomePage"))->isHidden());

        const auto *picture = about.findChild<QGraphicsView *>(QStringLiteral("picApp"));
        QCOMPARE(picture->styleSheet(), QStringLiteral("background:Transparent;border:0;"));
        const QList<QGraphicsItem *> items = picture->scene()->items();
        QCOMPARE(items.size(), 1);
        QCOMPARE(qgraphicsitem_cast<QGraphicsPixmapItem *>(items.first())->pixmap().height(), 64);

        about.show();
        QTest::mouseClick(about.findChild<QPushButton *>(QStringLiteral("btnOK")), Qt::LeftButton);
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }

    void aboutBoxLinksTheVendorHomePage()
    {
        qputenv("FERRY_VENDOR_HOST", "127.0.0.1:8099");
        AboutUsForm about;
        qputenv("FERRY_VENDOR_HOST", "");
        const auto *home = about.findChild<QLabel *>(QStringLiteral("lbHomePage"));
        QVERIFY(!home->isHidden());
        QVERIFY(home->openExternalLinks());
        QVERIFY(home->text().contains(QStringLiteral("href=\"http://127.0.0.1:8099/\"")));
    }
};

QTEST_MAIN(TestSmallDialogs)
#include "tst_smalldialogs.moc"
