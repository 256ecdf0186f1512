#pragma once

#include "android/AndroidDevice.h"

#include <QDialog>
#include <QString>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class WinMovable;

// The small frameless dialog where the user types the WiFi address the agent
// app shows on the phone. Connect checks the address, connects under a
// progress dialog and, when the phone answered, keeps its record and closes
// accepted; failures leave the dialog open for another try.
class AndroidWIFIForm : public QDialog
{
    Q_OBJECT
public:
    explicit AndroidWIFIForm(QWidget *parent = nullptr);
    ~AndroidWIFIForm() override;

    // The connected phone; valid only after the dialog ended accepted.
    const AndroidDevice &device() const { return m_device; }

    // The dotted IPv4 address in `text` (white space around it ignored), or an
    // empty text when the input is not four groups of one to three digits.
    static QString addressFromInput(const QString &text);

    // The agent's launcher port is fixed on phones; the phone simulator of the
    // tests and the demo may listen elsewhere. 0 keeps the agent's port.
    void setLauncherPort(int port) { m_launcherPort = port; }

public slots:
    void onBtnConnect();

private:
    void buildUi();

    QLabel *label = nullptr;
    QLineEdit *txtWifiSocket = nullptr;
    QPushButton *btnConnect = nullptr;
    QPushButton *btnClose = nullptr;
    QLabel *label_2 = nullptr;
    QLabel *lbTipsDownloadWifiConnection = nullptr;
    std::unique_ptr<WinMovable> m_mover;
    AndroidDevice m_device;
    int m_launcherPort = 0;
};
