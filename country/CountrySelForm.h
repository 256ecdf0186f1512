#pragma once

#include <QDialog>
#include <QList>
#include <QString>

#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class WinMovable;

// Lets the user pick the phone's country when the phone did not tell its
// mobile country code. Lists every country as "<English name> (+<calling
// code>)", filtered by the text typed above the list. There is no way out
// without a choice: Esc and closing the window do nothing, and OK asks for
// confirmation. Raises what CountryLibDb raises when the country list cannot
// be read.
class CountrySelForm : public QDialog
{
    Q_OBJECT
public:
    explicit CountrySelForm(QWidget *parent = nullptr);
    ~CountrySelForm() override;

    // The chosen country's mobile country code; empty until a choice is confirmed.
    const QString &selectedMobileCode() const { return m_selectedMobileCode; }

public slots:
    // Shows only the countries whose text contains `text`, ignoring case.
    void kwinput(const QString &text);
    // Confirms the current item; without one, warns and stays open.
    void accept() override;
    // Does nothing: a country must be chosen.
    void reject() override;

private:
    struct Entry
    {
        QString mobileCode;
        QString text;
    };

    void buildUi();
    void loadCountries();
    void showEntries(const QString &filter);

    QLabel *lbTitle = nullptr;
    QLineEdit *txtKW = nullptr;
    QListWidget *ltCountries = nullptr;
    QPushButton *btnOK = nullptr;
    std::unique_ptr<WinMovable> m_mover;
    QList<Entry> m_entries;
    QString m_selectedMobileCode;
};
