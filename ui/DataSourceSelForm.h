#pragma once

#include "views/AbsTreeItemModel.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class WinMovable;

// The device chooser of the transfers: a frameless dialog with a combo box of
// phones (icon and name), Confirm and Cancel. With several phones none is
// preselected, so the user has to pick one; Confirm without a pick warns and
// keeps the dialog open.
class DataSourceSelForm : public QDialog
{
    Q_OBJECT
public:
    // One phone offered: its icon, its name and the tree node it stands for.
    struct Choice
    {
        QString iconPath;
        QString name;
        AbsTreeItemModel::_ItemNode *node = nullptr;
    };

    explicit DataSourceSelForm(QWidget *parent = nullptr);
    ~DataSourceSelForm() override;

    // Shows `label` and offers `choices` in order; a single choice is preselected.
    void setChoices(const QString &label, const QList<Choice> &choices);
    // The node of the current item; null when none is current.
    AbsTreeItemModel::_ItemNode *currentNode() const;

    // setChoices, then runs the dialog: the chosen node, or null when cancelled.
    AbsTreeItemModel::_ItemNode *choose(const QString &label, const QList<Choice> &choices);

public slots:
    // Confirm: accepts when an item is current, else warns and stays open.
    void onBtnOkPressed();

private:
    void buildUi();

    QLabel *lbSelDevice = nullptr;
    QComboBox *cbDevice = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnClose = nullptr;
    std::unique_ptr<WinMovable> m_mover;
};
