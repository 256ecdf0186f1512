#pragma once

#include "cli/CliCommand.h"
#include "cli/SourceSpec.h"
#include "search/MessageSearchIndex.h"
#include "search/SearchHit.h"

// Searches words in every phone cache and local database, or in one SOURCE.
class SearchCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("search"); }
    QString synopsis() const override;
    QString summary() const override;
    QString description() const override;
    void addArguments(QCommandLineParser &parser) const override;
    int run(const QCommandLineParser &parser, CliContext &context) override;

private:
    static constexpr int MaxHits = 100;

    static SearchSource sourceOf(const SourceSpec &spec, CliContext &context);
    static MessageSearchIndex::Progress indexProgress();
    static void printJson(const QList<SearchHit> &hits);
    static void printLines(const QList<SearchHit> &hits);
    static QString sourceText(const SearchHit &hit);
};
