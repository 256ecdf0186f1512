// Checks number normalisation against an independent reference: the example
// mobile number of every region of libphonenumber-js, written in its national
// forms, normalised with that region as the current country and compared with
// the E.164 form. A second table does the same for fixed-line examples of
// Google's libphonenumber, where only numbers carrying the calling code are
// expected to be completed and nothing may become a wrong international number.
//
// Usage: bench_normalise [--db countries.db] [--data folder] [--quiet]
//   --db     another reference database instead of the compiled-in one
//   --data   folder holding mobile-examples.tsv and fixed-line-examples.tsv
// Exit code 1 when the national forms of mobile numbers agree less than 98%.

#include "app/AppFolders.h"
#include "country/CountryLibDb.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <exception>

namespace {

constexpr double kTargetPercent = 98.0;

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

struct Example
{
    QString region;
    QString callingCode;
    QString trunkPrefix;
    QString nationalNumber;
    QString e164;
    QString nationalFormat;
};

struct Case
{
    QString form;
    QString input;
};

struct Outcome
{
    QString region;
    QString form;
    QString input;
    QString got;
    QString expected;
};

// Per form: agreeing and total counts, in the order forms were first seen.
class Tally
{
public:
    explicit Tally(const QStringList &order = QStringList()) : m_order(order)
    {
        for (const QString &form : order)
            m_counts.insert(form, {0, 0});
    }
    void add(const QString &form, bool agrees)
    {
        if (!m_counts.contains(form))
            m_order.append(form);
        auto &count = m_counts[form];
        ++count.second;
        if (agrees)
            ++count.first;
    }
    QStringList forms() const
    {
        QStringList used;
        for (const QString &form : m_order) {
            if (m_counts.value(form).second > 0)
                used.append(form);
        }
        return used;
    }
    QPair<int, int> of(const QString &form) const { return m_counts.value(form); }
    QPair<int, int> total() const
    {
        QPair<int, int> sum(0, 0);
        for (const auto &count : m_counts) {
            sum.first += count.first;
            sum.second += count.second;
        }
        return sum;
    }

private:
    QStringList m_order;
    QMap<QString, QPair<int, int>> m_counts;
};

double percent(const QPair<int, int> &count)
{
    return count.second ? 100.0 * count.first / count.second : 0.0;
}

void printRow(const QString &label, const QPair<int, int> &count)
{
    out() << QStringLiteral("  %1 %2 / %3  %4%\n")
                 .arg(label, -38)
                 .arg(count.first, 4)
                 .arg(count.second, 4)
                 .arg(percent(count), 6, 'f', 2);
}

QList<QStringList> readTable(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::runtime_error(QStringLiteral("can not read %1").arg(path).toStdString());
    QList<QStringList> rows;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            rows.append(line.split(QLatin1Char('\t')));
    }
    return rows;
}

// mobile-examples.tsv: region, calling code, trunk prefix, national number,
// E.164, national format, international format.
QList<Example> mobileExamples(const QString &folder)
{
    QList<Example> examples;
    for (const QStringList &f : readTable(folder + QStringLiteral("/mobile-examples.tsv"))) {
        if (f.size() >= 6)
            examples.append({f[0], f[1], f[2], f[3], f[4], f[5]});
    }
    return examples;
}

// fixed-line-examples.tsv: region, calling code, national number, E.164, national format.
QList<Example> fixedLineExamples(const QString &folder)
{
    QList<Example> examples;
    for (const QStringList &f : readTable(folder + QStringLiteral("/fixed-line-examples.tsv"))) {
        if (f.size() >= 5)
            examples.append({f[0], f[1], QString(), f[2], f[3], f[4]});
    }
    return examples;
}

const QStringList kMobileForms{
    QStringLiteral("national, no trunk prefix"),
    QStringLiteral("national, with trunk prefix"),
    QStringLiteral("national format with spaces"),
    QStringLiteral("national format with dashes"),
    QStringLiteral("calling code without \"+\""),
};

// The trunk-prefix form exists only where the region has a trunk prefix; the
// national format is libphonenumber's own, brackets and trunk prefix included.
QList<Case> mobileForms(const Example &e)
{
    QList<Case> cases{{kMobileForms[0], e.nationalNumber}};
    if (!e.trunkPrefix.isEmpty())
        cases.append({kMobileForms[1], e.trunkPrefix + e.nationalNumber});
    QString dashed = e.nationalFormat;
    dashed.replace(QLatin1Char(' '), QLatin1Char('-'));
    cases.append({kMobileForms[2], e.nationalFormat});
    cases.append({kMobileForms[3], dashed});
    cases.append({kMobileForms[4], e.callingCode + e.nationalNumber});
    return cases;
}

class Checker
{
public:
    explicit Checker(CountryLibDb &db) : m_db(db), m_mobile(kMobileForms) {}

    Country countryOf(const QString &region)
    {
        bool found = false;
        const Country country = m_db.countryBySn(region, &found);
        return found ? country : Country();
    }

    void checkMobile(const QList<Example> &examples)
    {
        for (const Example &e : examples) {
            const Country country = countryOf(e.region);
            for (const Case &c : mobileForms(e)) {
                const QString got = country.normalise(c.input);
                m_mobile.add(c.form, got == e.e164);
                if (got != e.e164)
                    m_disagreements.append({e.region, c.form, c.input, got, e.e164});
            }
        }
    }

    // National forms of fixed lines must stay national (or become the right
    // number); the calling-code form must be completed.
    void checkFixedLine(const QList<Example> &examples)
    {
        for (const Example &e : examples) {
            const Country country = countryOf(e.region);
            if (country.isEmpty())
                continue;
            const QString withCode = e.callingCode + e.nationalNumber;
            const QString got = country.normalise(withCode);
            m_fixed.add(QStringLiteral("calling code without \"+\" completed"), got == e.e164);
            if (got != e.e164)
                m_fixedMisses.append({e.region, QStringLiteral("calling code"), withCode, got, e.e164});
            for (const QString &national : {e.nationalNumber, e.nationalFormat}) {
                const QString result = country.normalise(national);
                const bool wrong = result.startsWith(QLatin1Char('+')) && result != e.e164;
                m_fixed.add(QStringLiteral("national form not made a wrong number"), !wrong);
                if (wrong)
                    m_fixedMisses.append({e.region, QStringLiteral("national"), national, result, e.e164});
            }
        }
    }

    // Normalisations per second over the mobile forms (one country lookup each).
    double throughput(const QList<Example> &examples)
    {
        QList<QPair<Country, QString>> inputs;
        for (const Example &e : examples) {
            const Country country = countryOf(e.region);
            for (const Case &c : mobileForms(e))
                inputs.append({country, c.input});
        }
        QElapsedTimer timer;
        timer.start();
        int rounds = 0;
        qint64 sink = 0;
        while (timer.elapsed() < 500 || rounds < 3) {
            for (const auto &input : std::as_const(inputs))
                sink += input.first.normalise(input.second).size();
            ++rounds;
        }
        Q_UNUSED(sink);
        return double(rounds) * inputs.size() * 1000.0 / qMax<qint64>(1, timer.elapsed());
    }

    const Tally &mobile() const { return m_mobile; }
    const Tally &fixed() const { return m_fixed; }
    const QList<Outcome> &disagreements() const { return m_disagreements; }
    const QList<Outcome> &fixedMisses() const { return m_fixedMisses; }

private:
    CountryLibDb &m_db;
    Tally m_mobile;
    Tally m_fixed;
    QList<Outcome> m_disagreements;
    QList<Outcome> m_fixedMisses;
};

void printOutcomes(const QString &title, const QList<Outcome> &outcomes)
{
    out() << title << QStringLiteral(" (%1)\n").arg(outcomes.size());
    for (const Outcome &o : outcomes) {
        out() << QStringLiteral("  %1  %2  %3 -> %4 (expected %5)\n")
                     .arg(o.region, o.form, o.input, o.got, o.expected);
    }
}

struct Options
{
    QString db;
    QString data = QStringLiteral(FERRY_SOURCE_DIR "/bench/data");
    bool quiet = false;
};

Options parseOptions(const QStringList &args)
{
    Options options;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--db") && i + 1 < args.size())
            options.db = args[++i];
        else if (args[i] == QLatin1String("--data") && i + 1 < args.size())
            options.data = args[++i];
        else if (args[i] == QLatin1String("--quiet"))
            options.quiet = true;
        else
            throw std::runtime_error(QStringLiteral("unknown argument %1").arg(args[i]).toStdString());
    }
    return options;
}

int run(const Options &options)
{
    // The reference file is copied into the data root; keep that away from
    // the user's own.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    resetDataRootCacheForTests();
    if (!options.db.isEmpty())
        CountryLibDb::setResourcePathForTests(options.db);

    CountryLibDb db;
    Checker checker(db);
    const QList<Example> mobile = mobileExamples(options.data);
    checker.checkMobile(mobile);
    checker.checkFixedLine(fixedLineExamples(options.data));

    out() << QStringLiteral("Mobile numbers (%1 regions), agreement with E.164:\n").arg(mobile.size());
    for (const QString &form : checker.mobile().forms())
        printRow(form, checker.mobile().of(form));
    const QPair<int, int> overall = checker.mobile().total();
    printRow(QStringLiteral("overall"), overall);
    out() << QStringLiteral("\nFixed-line numbers:\n");
    for (const QString &form : checker.fixed().forms())
        printRow(form, checker.fixed().of(form));
    out() << QStringLiteral("\nThroughput: %1 normalisations per second\n\n")
                 .arg(checker.throughput(mobile), 0, 'f', 0);
    printOutcomes(QStringLiteral("Mobile disagreements"), checker.disagreements());
    if (!options.quiet)
        printOutcomes(QStringLiteral("\nFixed-line misses"), checker.fixedMisses());
    const bool met = percent(overall) >= kTargetPercent;
    out() << QStringLiteral("\nTarget %1% on mobile numbers: %2\n")
                 .arg(kTargetPercent, 0, 'f', 0)
                 .arg(met ? QStringLiteral("met") : QStringLiteral("NOT met"));
    out().flush();
    return met ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    try {
        return run(parseOptions(app.arguments()));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_normalise: %s\n", e.what());
        return 2;
    }
}
