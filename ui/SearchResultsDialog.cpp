#include "ui/SearchResultsDialog.h"

#include "search/MessageSearch.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { ColumnSource, ColumnConversation, ColumnDate, ColumnText, ColumnCount };

// The row's index into the hits.
constexpr int kHitRole = Qt::UserRole;

} // namespace

SearchResultsDialog::SearchResultsDialog(QWidget *parent)
    : QDialog(parent)
    , m_words(new QLineEdit(this))
    , m_searchButton(new QPushButton(tr("Search"), this))
    , m_summary(new QLabel(this))
    , m_results(new QTreeWidget(this))
{
    setWindowTitle(tr("Search Messages"));
    m_words->setObjectName(QStringLiteral("searchWords"));
    m_words->setPlaceholderText(tr("Words to find in every phone and local database"));
    m_searchButton->setObjectName(QStringLiteral("searchButton"));
    m_searchButton->setAutoDefault(false);
    m_summary->setObjectName(QStringLiteral("searchSummary"));
    m_results->setObjectName(QStringLiteral("searchResults"));
    m_results->setColumnCount(ColumnCount);
    m_results->setHeaderLabels({tr("Source"), tr("Conversation"), tr("Date"), tr("Message")});
    m_results->setRootIsDecorated(false);
    m_results->setUniformRowHeights(true);
    m_results->header()->setStretchLastSection(true);
    m_results->setColumnWidth(ColumnSource, 170);
    m_results->setColumnWidth(ColumnConversation, 150);
    m_results->setColumnWidth(ColumnDate, 140);

    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(m_words, 1);
    searchRow->addWidget(m_searchButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(m_summary);
    layout->addWidget(m_results, 1);
    resize(820, 460);

    connect(m_words, &QLineEdit::returnPressed, this, &SearchResultsDialog::requestSearch);
    connect(m_searchButton, &QPushButton::clicked, this, &SearchResultsDialog::requestSearch);
    connect(m_results, &QTreeWidget::itemActivated, this, &SearchResultsDialog::onItemActivated);
}

QString SearchResultsDialog::words() const
{
    return m_words->text();
}

void SearchResultsDialog::setWords(const QString &words)
{
    m_words->setText(words);
}

void SearchResultsDialog::focusWords()
{
    m_words->setFocus();
    m_words->selectAll();
}

void SearchResultsDialog::setHits(const QList<SearchHit> &hits, int limit)
{
    m_hits = hits;
    m_results->clear();
    QList<QTreeWidgetItem *> rows;
    for (int i = 0; i < hits.size(); ++i) {
        const SearchHit &hit = hits.at(i);
        // Plain-text items: markup in a message is shown, never interpreted.
        auto *row = new QTreeWidgetItem(QStringList{sourceText(hit), hit.chatTitle,
                                                    QLocale().toString(hit.date, QLocale::ShortFormat),
                                                    hit.snippet.simplified()});
        row->setData(ColumnSource, kHitRole, i);
        rows.append(row);
    }
    m_results->addTopLevelItems(rows);
    if (hits.isEmpty())
        m_summary->setText(tr("No message found."));
    else if (hits.size() >= limit)
        m_summary->setText(tr("The newest %1 messages found:").arg(hits.size()));
    else
        m_summary->setText(tr("Messages found: %1").arg(hits.size()));
}

void SearchResultsDialog::requestSearch()
{
    if (!m_words->text().trimmed().isEmpty())
        emit searchRequested(m_words->text());
}

void SearchResultsDialog::onItemActivated(QTreeWidgetItem *item)
{
    const int index = item ? item->data(ColumnSource, kHitRole).toInt() : -1;
    if (index >= 0 && index < m_hits.size())
        emit hitActivated(m_hits.at(index));
}

QString SearchResultsDialog::sourceText(const SearchHit &hit) const
{
    if (hit.sourceKind == MessageSearch::phoneCacheKind())
        return tr("Phone %1").arg(hit.sourceName);
    return tr("Database %1").arg(hit.sourceName);
}
