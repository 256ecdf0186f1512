#include "ui/DataSourceSelForm.h"

#include "app/MessageBoxes.h"
#include "app/DialogLayout.h"
#include "app/StyleSheet.h"
#include "app/WinMovable.h"

#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

DataSourceSelForm::DataSourceSelForm(QWidget *parent)
    : QDialog(parent)
    , m_mover(std::make_unique<WinMovable>(this))
{
    buildUi();
    connect(btnOK, &QPushButton::pressed, this, &DataSourceSelForm::onBtnOkPressed);
    connect(btnClose, &QPushButton::pressed, this, &QDialog::reject);
}

DataSourceSelForm::~DataSourceSelForm() = default;

void DataSourceSelForm::buildUi()
{
    setObjectName(QStringLiteral("DataSourceSelForm"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setStyleSheet(appStyleSheet());
    resize(340, 150);

    lbSelDevice = new QLabel(tr("IDS_TITLE_SELECT_ONE_DEVICE_TO_TRANSFER"), this);
    lbSelDevice->setObjectName(QStringLiteral("lbSelDevice"));
    lbSelDevice->setTextFormat(Qt::PlainText);
    lbSelDevice->setWordWrap(true);

    cbDevice = new QComboBox(this);
    cbDevice->setObjectName(QStringLiteral("cbDevice"));
    cbDevice->setIconSize(QSize(18, 18));

    btnOK = new QPushButton(tr("确定"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnClose = new QPushButton(tr("取消"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));

    layOutChooser(this, lbSelDevice, cbDevice, btnOK, btnClose);
}

void DataSourceSelForm::setChoices(const QString &label, const QList<Choice> &choices)
{
    lbSelDevice->setText(label);
    cbDevice->clear();
    for (const Choice &choice : choices) {
        cbDevice->addItem(QIcon(choice.iconPath), choice.name,
                          QVariant::fromValue<quint64>(reinterpret_cast<quintptr>(choice.node)));
    }
    // With a real choice to make nothing is preselected, so a hasty Confirm
    // cannot pick the wrong phone.
    cbDevice->setCurrentIndex(choices.size() == 1 ? 0 : -1);
}

AbsTreeItemModel::_ItemNode *DataSourceSelForm::currentNode() const
{
    if (cbDevice->currentIndex() < 0)
        return nullptr;
    const auto reference = static_cast<quintptr>(cbDevice->currentData().value<quint64>());
    return reinterpret_cast<AbsTreeItemModel::_ItemNode *>(reference);
}

AbsTreeItemModel::_ItemNode *DataSourceSelForm::choose(const QString &label, const QList<Choice> &choices)
{
    setChoices(label, choices);
    return exec() == QDialog::Accepted ? currentNode() : nullptr;
}

void DataSourceSelForm::onBtnOkPressed()
{
    if (cbDevice->currentIndex() < 0) {
        showWarning(tr("IDS_PLEASE_SELECT_ONE_DATASOURCE"));
        return;
    }
    accept();
}
