#include "android/AndroidWIFIForm.h"

#include "android/AndroidConnectWithWiFiThread.h"
#include "app/MessageBoxes.h"
#include "app/StyleSheet.h"
#include "app/WinMovable.h"
#include "ops/ProgressForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

AndroidWIFIForm::AndroidWIFIForm(QWidget *parent)
    : QDialog(parent)
    , m_mover(std::make_unique<WinMovable>(this))
{
    buildUi();
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setStyleSheet(appStyleSheet()
                  + QStringLiteral(" #lbTipsDownloadWifiConnection { font-size:9px; color:#767B7C; margin:0 10px;}"));
    connect(btnConnect, &QPushButton::pressed, this, &AndroidWIFIForm::onBtnConnect);
    connect(btnClose, &QPushButton::pressed, this, &QDialog::reject);
}

AndroidWIFIForm::~AndroidWIFIForm() = default;

void AndroidWIFIForm::buildUi()
{
    setObjectName(QStringLiteral("AndroidWIFIForm"));
    setWindowTitle(QStringLiteral("AndroidWIFIForm"));
    setFixedSize(404, 226);

    label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    label->setGeometry(40, 40, 341, 61);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    label->setText(tr("Run Ferrywright SMS Sync on Android phone and click Connection button to get the Wifi "
                      "connection info. Now input the info to the following Text Box. "));

    txtWifiSocket = new QLineEdit(this);
    txtWifiSocket->setObjectName(QStringLiteral("txtWifiSocket"));
    txtWifiSocket->setGeometry(40, 110, 331, 20);

    btnConnect = new QPushButton(tr("Connect"), this);
    btnConnect->setObjectName(QStringLiteral("btnConnect"));
    btnConnect->setGeometry(100, 140, 75, 23);

    btnClose = new QPushButton(tr("Cancel"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(230, 140, 75, 23);

    label_2 = new QLabel(tr("Connect Android via WiFi"), this);
    label_2->setObjectName(QStringLiteral("label_2"));
    // A line of the dialog's font is taller than the 16 pixels first drawn.
    label_2->setGeometry(20, 8, 271, 20);

    lbTipsDownloadWifiConnection = new QLabel(this);
    lbTipsDownloadWifiConnection->setObjectName(QStringLiteral("lbTipsDownloadWifiConnection"));
    // Three lines of small print need a little more than the 31 pixels the
    // form was drawn with once the fonts are wider than the designer's: the
    // label reaches down to the dialog's edge instead.
    lbTipsDownloadWifiConnection->setGeometry(0, 180, 404, 46);
    lbTipsDownloadWifiConnection->setWordWrap(true);
    lbTipsDownloadWifiConnection->setOpenExternalLinks(true);
    lbTipsDownloadWifiConnection->setText(
        tr("If you haven't installed Ferrywright SMS Sync on Android phone, please go to the Market (Google "
           "Play) on your Android to search Ferrywright SMS Sync to download and install. "));
}

QString AndroidWIFIForm::addressFromInput(const QString &text)
{
    static const QRegularExpression address(
        QStringLiteral("^(\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3})$"));
    const QRegularExpressionMatch match = address.match(text.trimmed());
    return match.hasMatch() ? match.captured(1) : QString();
}

void AndroidWIFIForm::onBtnConnect()
{
    const QString host = addressFromInput(txtWifiSocket->text());
    if (host.isEmpty()) {
        showWarning(tr("IDS_WIFI_SOCK_WRONG_FOR_EXAMPLE"));
        return;
    }

    ProgressForm progress(tr("IDS_CONNECTING_ANDROID_DEVICE"), this);
    AndroidConnectWithWiFiThread worker(host, &progress, this);
    if (m_launcherPort > 0)
        worker.setLauncherPort(m_launcherPort);
    if (!progress.runWorker(worker))
        return;  // the progress dialog has shown what went wrong
    m_device = worker.device();
    accept();
}
