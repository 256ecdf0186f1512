#include "ops/LocalDbSelForm.h"

#include "app/DialogLayout.h"
#include "app/MessageBoxes.h"
#include "app/RichText.h"
#include "app/StyleSheet.h"
#include "app/WinMovable.h"

#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

LocalDbSelForm::LocalDbSelForm(const QStringList &names, const QString &defaultName, QWidget *parent)
    : QDialog(parent)
    , m_mover(std::make_unique<WinMovable>(this))
{
    buildUi(names, defaultName);
    connect(btnOK, &QPushButton::pressed, this, &LocalDbSelForm::onBtnOkPress);
    connect(btnClose, &QPushButton::pressed, this, &QDialog::reject);
}

LocalDbSelForm::~LocalDbSelForm() = default;

void LocalDbSelForm::buildUi(const QStringList &names, const QString &defaultName)
{
    setObjectName(QStringLiteral("LocalDbSelForm"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setStyleSheet(appStyleSheet());
    setWindowTitle(tr("选择要备份到哪个数据库"));
    resize(400, 150);

    label = new QLabel(tr("选择或输入新的数据库名称:"), this);
    label->setObjectName(QStringLiteral("label"));
    label->setWordWrap(true);

    cbLocalDbNames = new QComboBox(this);
    cbLocalDbNames->setObjectName(QStringLiteral("cbLocalDbNames"));
    cbLocalDbNames->setEditable(true);
    cbLocalDbNames->setInsertPolicy(QComboBox::NoInsert);
    // The box completes a typed name and, when the typing ends, turns it into
    // the matching item. Matched regardless of letter case, "backup" would
    // become "Backup" where both exist (file systems that tell them apart).
    cbLocalDbNames->completer()->setCaseSensitivity(Qt::CaseSensitive);
    cbLocalDbNames->setToolTip(tr("选择现有的数据库会将短信息附加到里面,输入新的名字会创建新的本地数据库."));
    cbLocalDbNames->addItem(QString());
    cbLocalDbNames->addItems(names);
    cbLocalDbNames->setCurrentIndex(-1);
    if (!defaultName.isEmpty())
        cbLocalDbNames->setEditText(defaultName);

    btnOK = new QPushButton(tr("确定"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnClose = new QPushButton(tr("取消"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));

    layOutChooser(this, label, cbLocalDbNames, btnOK, btnClose);
}

QString LocalDbSelForm::nameProblem(const QString &name)
{
    if (name.trimmed().isEmpty())
        return tr("IDS_PLEASE_SELECT_DATABASE_OR_INPUT_NEW_NAME");
    static const QRegularExpression forbidden(QStringLiteral("[\\\\/:\\*\\?\\\"<>|]+"));
    // "." and ".." would name the databases folder itself or its parent.
    if (name.contains(forbidden) || name.trimmed() == QLatin1String(".") || name.trimmed() == QLatin1String(".."))
        return tr("IDS_INVALID_LOCALDB_NAME");
    // Windows drops them from folder names: "Family." would be the folder
    // of "Family", and two databases of the tree would share it.
    if (name.endsWith(QLatin1Char('.')) || name.back().isSpace())
        return tr("A Local Database name cannot end with a dot or a blank.");
    return QString();
}

void LocalDbSelForm::onBtnOkPress()
{
    m_chosenName = cbLocalDbNames->currentText();
    const QString problem = nameProblem(m_chosenName);
    if (!problem.isEmpty()) {
        showWarning(richTextFromPlain(problem));
        return;
    }
    QDialog::accept();
}

QString LocalDbSelForm::choose()
{
    if (exec() != QDialog::Accepted || m_chosenName.isEmpty())
        return QString();
    return m_chosenName;
}
