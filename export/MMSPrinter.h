#pragma once

#include "store/MessageDateRange.h"
#include "store/MsgMessageList.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class MessageChunkReader;
class MessageSequence;
class QPrinter;
class QPrintPreviewDialog;
class QProgressDialog;

// Prints messages as chat bubbles through Qt's print preview: A4 portrait at
// screen resolution, margins of 20 points, or a PDF file when no printer is
// installed. The preview keeps the pages it is given, so the messages are
// laid out once per preview (again only when the page setup or the period
// changes, and for the printer itself), with progress and Cancel; past
// pagesBeforeAsking() pages the user is asked whether to go on. The messages
// are a list held in memory or every message of a database, read as each
// layout goes.
class MMSPrinter : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPagesBeforeAsking = 2000;

    // `dataFolder` holds the bubble pictures (the executable's folder when empty).
    explicit MMSPrinter(QObject *parent = nullptr, const QString &dataFolder = QString());
    ~MMSPrinter() override;

    // Sorts the messages oldest first and runs the preview dialog.
    void print(const MsgMessageList &messages);
    // Every message `source` reads, oldest first; the period's choice spans
    // the dates of `dateSpan` (the oldest and the newest message will do).
    void print(std::unique_ptr<MessageChunkReader> source, const MsgMessageList &dateSpan);

    int pagesBeforeAsking() const { return m_pagesBeforeAsking; }
    void setPagesBeforeAsking(int pages) { m_pagesBeforeAsking = pages; }

public slots:
    void onPaintRequested(QPrinter *printer);

private:
    // Runs the preview over `messages`.
    void preview(std::unique_ptr<MessageSequence> messages, const MsgMessageList &dateSpan);
    // Draws the messages of the period; false when the user stopped it.
    bool layOutPages(QPrinter &printer);
    bool mayGoOnPast(int pages, qint64 done, qint64 total);
    void stopPrinting(QPrinter &printer);
    void addPeriodChoice(QPrintPreviewDialog &preview, const MsgMessageList &dateSpan);
    void showPeriod();

    std::unique_ptr<MessageSequence> m_messages;
    MessageDateRange m_period;
    QString m_dataFolder;
    int m_pagesBeforeAsking = kPagesBeforeAsking;
    bool m_manyPagesAccepted = false;
    QPointer<QPrintPreviewDialog> m_preview;
    QTimer m_periodSettles;
    MessageDateRange m_chosenPeriod;
};
