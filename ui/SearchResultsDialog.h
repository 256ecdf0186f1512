#pragma once

#include "search/SearchHit.h"

#include <QDialog>
#include <QList>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The window's search: a line for the words, and the messages found in
// every phone cache and local database, one row each (source, conversation,
// date, text around the words). Activating a row asks the main window to open
// that conversation at the message. Message texts are shown as plain text.
//
// It only shows: the main window runs the search when asked and hands the
// hits back, so the dialog stays open (not modal) beside the window.
class SearchResultsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SearchResultsDialog(QWidget *parent = nullptr);

    QString words() const;
    void setWords(const QString &words);
    // Replaces the rows; `limit` is how many a search returns at most, so a
    // full list says more may exist.
    void setHits(const QList<SearchHit> &hits, int limit);
    const QList<SearchHit> &hits() const { return m_hits; }
    // Puts the cursor into the words, all of them selected.
    void focusWords();

signals:
    void searchRequested(const QString &words);
    void hitActivated(const SearchHit &hit);

private:
    void requestSearch();
    void onItemActivated(QTreeWidgetItem *item);
    QString sourceText(const SearchHit &hit) const;

    QLineEdit *m_words = nullptr;
    QPushButton *m_searchButton = nullptr;
    QLabel *m_summary = nullptr;
    QTreeWidget *m_results = nullptr;
    QList<SearchHit> m_hits;
};
