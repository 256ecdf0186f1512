#pragma once

#include "store/MessageDateRange.h"
#include "store/MsgMessageList.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QPrinter;
class QPrintPreviewDialog;
class QProgressDialog;

// Prints messages as chat bubbles through Qt's print preview: A4 portrait at
// screen resolution, margins of 20 points, or a PDF file when no printer is
// installed. The preview keeps the pages it is given, so the messages are
// laid out once per preview (again only when the page setup or the period
// changes, and for the printer itself), with progress and Cancel; past
// pagesBeforeAsking() pages the user is asked whether to go on.
class MMSPrinter : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPagesBeforeAsking = 2000;

    // `dataFolder` holds the bubble pictures (the executable's folder when empty).
    explicit MMSPrinter(QObject *parent = nullptr, const QString &dataFolder = QString());

    // Sorts the messages oldest first and runs the preview dialog.
    void print(const MsgMessageList &messages);

    const MsgMessageList &messages() const { return messageList; }
    int pagesBeforeAsking() const { return m_pagesBeforeAsking; }
    void setPagesBeforeAsking(int pages) { m_pagesBeforeAsking = pages; }

public slots:
    void onPaintRequested(QPrinter *printer);

private:
    // Draws the messages of the period; false when the user stopped it.
    bool layOutPages(QPrinter &printer);
    bool mayGoOnPast(int pages, qsizetype done, qsizetype total);
    void stopPrinting(QPrinter &printer);
    void addPeriodChoice(QPrintPreviewDialog &preview);
    void showPeriod();

    MsgMessageList messageList;
    MessageDateRange m_period;
    QString m_dataFolder;
    int m_pagesBeforeAsking = kPagesBeforeAsking;
    bool m_manyPagesAccepted = false;
    QPointer<QPrintPreviewDialog> m_preview;
    QTimer m_periodSettles;
    MessageDateRange m_chosenPeriod;
};
