#include "country/CountrySelForm.h"

#include "app/MessageBoxes.h"
#include "app/StyleSheet.h"
#include "app/WinMovable.h"
#include "country/CountryLibDb.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

CountrySelForm::CountrySelForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("CountrySelForm"));
    buildUi();
    setStyleSheet(appStyleSheet());
    m_mover = std::make_unique<WinMovable>(this);
    loadCountries();
    showEntries(QString());
}

CountrySelForm::~CountrySelForm() = default;

void CountrySelForm::buildUi()
{
    resize(326, 398);
    setWindowTitle(QStringLiteral("Dialog"));

    auto *outer = new QVBoxLayout(this);
    outer->setObjectName(QStringLiteral("verticalLayout_3"));
    outer->setSpacing(10);
    const QMargins defaults = outer->contentsMargins();
    outer->setContentsMargins(defaults.left(), 15, defaults.right(), 15);

    lbTitle = new QLabel(tr("IDS_SEL_YOUR_PHONE_COUNTRY"), this);
    lbTitle->setObjectName(QStringLiteral("lbTitle"));
    outer->addWidget(lbTitle);

    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("widget"));
    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->setObjectName(QStringLiteral("verticalLayout_2"));
    panelLayout->setContentsMargins(0, 10, 0, 0);
    txtKW = new QLineEdit(panel);
    txtKW->setObjectName(QStringLiteral("txtKW"));
    panelLayout->addWidget(txtKW);
    ltCountries = new QListWidget(panel);
    ltCountries->setObjectName(QStringLiteral("ltCountries"));
    panelLayout->addWidget(ltCountries);
    outer->addWidget(panel);

    auto *buttons = new QWidget(this);
    buttons->setObjectName(QStringLiteral("widget_2"));
    auto *buttonLayout = new QHBoxLayout(buttons);
    buttonLayout->setObjectName(QStringLiteral("horizontalLayout"));
    buttonLayout->setContentsMargins(0, 0, 0, 0);
    btnOK = new QPushButton(tr("OK"), buttons);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    buttonLayout->addWidget(btnOK);
    outer->addWidget(buttons);

    connect(txtKW, &QLineEdit::textChanged, this, &CountrySelForm::kwinput);
    connect(btnOK, &QPushButton::pressed, this, &CountrySelForm::accept);
}

void CountrySelForm::loadCountries()
{
    CountryLibDb countries;
    const QList<CountryLibDb::SelectionEntry> list = countries.selectionList();
    for (const CountryLibDb::SelectionEntry &entry : list) {
        m_entries.append({entry.mobileCode,
                          QStringLiteral("%1 (+%2)").arg(entry.name, entry.callingCode)});
    }
}

void CountrySelForm::showEntries(const QString &filter)
{
    ltCountries->clear();
    for (const Entry &entry : std::as_const(m_entries)) {
        if (!entry.text.contains(filter, Qt::CaseInsensitive))
            continue;
        auto *item = new QListWidgetItem(entry.text, ltCountries);
        item->setData(Qt::UserRole, entry.mobileCode);
    }
}

void CountrySelForm::kwinput(const QString &text)
{
    showEntries(text);
}

void CountrySelForm::accept()
{
    const QListWidgetItem *item = ltCountries->currentItem();
    if (!item) {
        showWarning(tr("IDS_CANT_CONTINUE_WITHOUT_SEL_ONE_COUNTRY"));
        return;
    }
    if (!askQuestion(tr("IDS_CONFIRM_SEL_COUNTRY_%1").arg(item->text())))
        return;
    m_selectedMobileCode = item->data(Qt::UserRole).toString();
    QDialog::accept();
}

void CountrySelForm::reject()
{
}
