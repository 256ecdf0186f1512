#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class WinMovable;

// Asks which local database a backup goes to: an existing one (merged into)
// or a new name (a new database). Names that cannot be folder names, or that
// Windows would shorten (a trailing dot or blank), are refused with a warning
// and the dialog stays open.
class LocalDbSelForm : public QDialog
{
    Q_OBJECT
public:
    LocalDbSelForm(const QStringList &names, const QString &defaultName, QWidget *parent = nullptr);
    ~LocalDbSelForm() override;

    // Runs the dialog: the chosen name (untrimmed), or an empty text when
    // cancelled.
    QString choose();
    // The name as it stands after the last Confirm.
    const QString &chosenName() const { return m_chosenName; }

    // Why a name is refused; empty when it is fine.
    static QString nameProblem(const QString &name);

public slots:
    void onBtnOkPress();

private:
    void buildUi(const QStringList &names, const QString &defaultName);

    std::unique_ptr<WinMovable> m_mover;
    QString m_chosenName;
    QLabel *label = nullptr;
    QComboBox *cbLocalDbNames = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnClose = nullptr;
};
