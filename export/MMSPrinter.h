#pragma once

#include "store/MsgMessageList.h"

#include <QObject>
#include <QString>

class QPrinter;

// Prints messages as chat bubbles through Qt's print preview: A4 portrait at
// screen resolution, margins of 20 points, or a PDF file when no printer is
// installed. Every repaint the preview asks for draws the whole list again.
class MMSPrinter : public QObject
{
    Q_OBJECT
public:
    // `dataFolder` holds the bubble pictures (the executable's folder when empty).
    explicit MMSPrinter(QObject *parent = nullptr, const QString &dataFolder = QString());

    // Sorts the messages oldest first and runs the preview dialog.
    void print(const MsgMessageList &messages);

    const MsgMessageList &messages() const { return messageList; }

public slots:
    void onPaintRequested(QPrinter *printer);

private:
    MsgMessageList messageList;
    QString m_dataFolder;
};
