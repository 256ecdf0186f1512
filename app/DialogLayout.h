#pragma once

class QDialog;
class QPushButton;
class QWidget;

// The layout the small choosers share: a label, the field to fill in, and
// their two buttons centred below.
void layOutChooser(QDialog *dialog, QWidget *label, QWidget *field, QPushButton *ok, QPushButton *cancel);
