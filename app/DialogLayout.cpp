#include "app/DialogLayout.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

void layOutChooser(QDialog *dialog, QWidget *label, QWidget *field, QPushButton *ok, QPushButton *cancel)
{
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch(1);

    auto *layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(20, 20, 20, 15);
    layout->setSpacing(10);
    layout->addWidget(label);
    layout->addWidget(field);
    layout->addStretch(1);
    layout->addLayout(buttons);
}
