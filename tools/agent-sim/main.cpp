// The phone simulator: plays the phone-side agent of Ferrywright on 127.0.0.1
// and makes phone stores to serve. See `agent-sim --help`.
#include "AgentSimulator.h"
#include "PhoneGenerator.h"
#include "PhoneStore.h"
#include "TerminationSignals.h"

#include <QCommandLineParser>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

const char *const Description = R"(Ferrywright phone simulator.

  agent-sim [serve] --store DIR [options]     play the phone's agent
  agent-sim generate --store DIR [options]    make a phone store

Serving: a launcher on 127.0.0.1:--launcher-port (default 44441, the agent's
WiFi launcher) reads one start URL line, e.g. "backup2://127.0.0.1:43005/mms/",
starts listening on 127.0.0.1 at the URL's port and answers "1" (or "0" and the
Base64 of a reason). The desktop then connects to that port and the simulator
plays the exchange the scheme names: device2 (identity, "$hello:"), backup2
(the phone's messages are sent) or restore2 (messages are received and stored,
so the next backup2 returns them). An upload batch is stored when its "$end:"
arrives, before "$batch:" acknowledges it; a batch cut short stores nothing.

Over USB the desktop runs `adb shell am broadcast ... -d URL`; the stand-in adb
(tools/bin/adb) hands that URL to this launcher. Its `adb forward tcp:P` asks
the launcher (line "forward tcp:P") to listen on 127.0.0.1:P at once, as the adb
server binds a forwarded port; a connection before the URL arrives is closed. With --adb-state and
--serial the simulator plugs itself into the stand-in adb's state file (with its
launcher port) while it runs:
  export FERRY_FAKE_ADB_STATE=/tmp/phones.json
  agent-sim generate --store /tmp/phone1 --messages 2000 --contacts 60
  agent-sim --store /tmp/phone1 --adb-state $FERRY_FAKE_ADB_STATE --serial SIM0001

The first output line is "agent-sim: launcher listening on 127.0.0.1:PORT".
Counters (records and attachment bytes sent, messages received, exchanges...)
are kept in the --status JSON file. The simulator stops on SIGTERM/SIGINT, when
--parent-pid is gone, or after --idle-timeout seconds without activity.

Store folder: phone.json (the identity), messages.jsonl (one message per line)
and parts/ (MMS part files). A group message carries its numbers joined by ";".)";

QCommandLineOption option(const QString &name, const QString &help, const QString &value = QString(),
                          const QString &defaultValue = QString())
{
    return value.isEmpty() ? QCommandLineOption(name, help)
                           : QCommandLineOption(name, help, value, defaultValue);
}

// "key=value;key=value" as a map.
QMap<QString, QString> parsePairs(const QString &text)
{
    QMap<QString, QString> pairs;
    for (const QString &pair : text.split(';', Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf('=');
        if (equals > 0)
            pairs.insert(pair.left(equals), pair.mid(equals + 1));
    }
    return pairs;
}

[[noreturn]] void failUsage(const QString &text)
{
    std::fprintf(stderr, "agent-sim: %s\n", text.toUtf8().constData());
    std::exit(2);
}

int intValue(const QCommandLineParser &parser, const QString &name)
{
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok)
        failUsage(QStringLiteral("--%1 needs a number, not \"%2\"").arg(name, parser.value(name)));
    return value;
}

QSet<qint64> recordNumbers(const QCommandLineParser &parser, const QString &name)
{
    QSet<qint64> numbers;
    for (const QString &item : parser.value(name).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint64 number = item.trimmed().toLongLong(&ok);
        if (!ok || number < 1)
            failUsage(QStringLiteral("--%1 needs record numbers from 1, not \"%2\"").arg(name, item));
        numbers.insert(number);
    }
    return numbers;
}

int generate(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(Description);
    parser.addHelpOption();
    parser.addPositionalArgument("generate", "make a phone store");
    parser.addOptions({
        option("store", "Store folder to fill (must hold no messages).", "dir"),
        option("messages", "Number of messages.", "n", "1000"),
        option("contacts", "Number of contacts (every tenth forms a group).", "m", "40"),
        option("pictures", "Number of JPEG pictures (default: messages/100).", "k", "-1"),
        option("picture-kb", "Size of each picture in KB.", "kb", "200"),
        option("seed", "Random seed; the same seed makes the same phone.", "s", "1"),
        option("mmc", "Mobile country code the phone reports.", "code", "310"),
        option("model", "Model the phone reports.", "text", "Pixel 7"),
        option("manufacturer", "Manufacturer the phone reports.", "text", "Google"),
    });
    parser.process(arguments);
    if (parser.value("store").isEmpty())
        failUsage("generate needs --store DIR");

    GeneratorOptions options;
    options.messages = intValue(parser, "messages");
    options.contacts = intValue(parser, "contacts");
    options.pictures = intValue(parser, "pictures");
    options.pictureKb = intValue(parser, "picture-kb");
    options.seed = quint32(intValue(parser, "seed"));
    options.mmc = parser.value("mmc");
    options.model = parser.value("model");
    options.manufacturer = parser.value("manufacturer");

    PhoneStore store(parser.value("store"));
    PhoneGenerator generator(options);
    generator.generate(store);
    std::printf("agent-sim: generated %d messages with %d pictures, %lld bytes of parts, in %s\n",
                options.messages, generator.pictureCount(), generator.partBytes(),
                store.folder().toUtf8().constData());
    return 0;
}

ServeOptions parseServeOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(Description);
    parser.addHelpOption();
    parser.addOptions({
        option("store", "Phone store folder (created empty when missing).", "dir"),
        option("launcher-port", "Launcher port on 127.0.0.1; 0 picks a free one.", "port", "44441"),
        option("status", "File that receives the counters as JSON.", "file"),
        option("info", "Identity keys to override, \"key=value;key=value\" (version, model, "
                       "manufacturer, imei, uid, sdk, sdk_id, root, storage1, mmc).", "pairs"),
        option("agent-version", "Agent version code to report (9 or lower is too old).", "n"),
        option("defsmsapp", "Flag sent in \"$defsmsapp:\" when receiving messages.", "n", "0"),
        option("batch-size", "Records per batch when sending.", "n", "100"),
        option("chunk-size", "Attachment bytes per data line.", "bytes", "32768"),
        option("read-timeout", "Seconds to wait for the desktop's next line.", "s", "300"),
        option("idle-timeout", "Stop after this many idle seconds; 0 never.", "s", "1800"),
        option("parent-pid", "Stop when this process has ended.", "pid", "0"),
        option("adb-state", "Stand-in adb state file to plug into while running.", "file"),
        option("serial", "Serial to plug in as (with --adb-state).", "serial"),
        option("adb-device-state", "State the stand-in adb lists: device, offline, unauthorized.",
               "state", "device"),
        option("agent-missing", "Plug in without the agent package installed."),
        option("refuse", "Fault: the launcher refuses every start with this reason.", "text"),
        option("drop-after-records", "Fault: cut the link after N records sent or received.", "n", "-1"),
        option("drop-in-attachment", "Fault: cut the link inside the first attachment sent."),
        option("error", "Fault: send \"$error:\" with this text right after \"$ready:\" "
                        "(or after --error-after-records records).", "text"),
        option("error-after-records", "Fault: when to send --error: after N records sent or received.", "n",
               "-1"),
        option("refuse-defsmsapp", "Fault: answer the desktop's \"$defsmsapp:\" with an error, as when "
                                   "the user declines the default-app request."),
        option("malformed-record", "Fault: send a record of five fields before the first record."),
        option("malformed-atta", "Fault: the first \"$atta:\" header has no file name."),
        option("slow", "Fault: pause this many milliseconds before every line sent.", "ms", "0"),
        option("ready-delay", "Fault: pause before \"$ready:\".", "ms", "0"),
        option("slow-read", "Fault: pause this many milliseconds before every line read, and keep the "
                            "receive buffers small, so a desktop's sending waits for the phone.", "ms", "0"),
        option("lose-received", "Fault: acknowledge the records of an upload with these numbers (1 = the "
                                "exchange's first, comma-separated) but never store them.", "n,n,..."),
    });
    parser.process(arguments);
    if (!parser.positionalArguments().isEmpty() && parser.positionalArguments() != QStringList{"serve"})
        failUsage(QStringLiteral("unknown command %1").arg(parser.positionalArguments().join(' ')));
    if (parser.value("store").isEmpty())
        failUsage("needs --store DIR (see --help)");

    ServeOptions options;
    options.storeFolder = parser.value("store");
    options.launcherPort = intValue(parser, "launcher-port");
    options.statusFile = parser.value("status");
    options.infoOverrides = parsePairs(parser.value("info"));
    if (parser.isSet("agent-version"))
        options.infoOverrides.insert("version", QString::number(intValue(parser, "agent-version")));
    options.defaultSmsAppFlag = intValue(parser, "defsmsapp");
    options.batchSize = std::max(1, intValue(parser, "batch-size"));
    options.chunkSize = std::max(1, intValue(parser, "chunk-size"));
    options.readTimeoutMs = intValue(parser, "read-timeout") * 1000;
    options.idleTimeoutSec = intValue(parser, "idle-timeout");
    options.parentPid = parser.value("parent-pid").toLongLong();
    options.adbStateFile = parser.value("adb-state");
    options.serial = parser.value("serial");
    options.adbDeviceState = parser.value("adb-device-state");
    options.agentInstalled = !parser.isSet("agent-missing");
    FaultOptions &faults = options.faults;
    faults.refuseReason = parser.value("refuse");
    faults.dropAfterRecords = intValue(parser, "drop-after-records");
    faults.dropInAttachment = parser.isSet("drop-in-attachment");
    faults.errorText = parser.value("error");
    faults.errorAfterRecords = intValue(parser, "error-after-records");
    faults.refuseDefaultApp = parser.isSet("refuse-defsmsapp");
    faults.malformedRecord = parser.isSet("malformed-record");
    faults.malformedAtta = parser.isSet("malformed-atta");
    faults.slowMs = intValue(parser, "slow");
    faults.readyDelayMs = intValue(parser, "ready-delay");
    faults.slowReadMs = intValue(parser, "slow-read");
    faults.loseReceived = recordNumbers(parser, "lose-received");
    return options;
}

int serve(const QStringList &arguments)
{
    const ServeOptions options = parseServeOptions(arguments);
    AgentSimulator simulator(options);
    simulator.start();
    quitOnTerminationSignals(*QCoreApplication::instance());
    QCoreApplication::exec();
    simulator.shutdown();
    std::fflush(stdout);
    // Exchange threads may still block on a silent desktop; they end with the
    // process rather than holding it open.
    std::_Exit(0);
}

} // namespace

int main(int argc, char *argv[])
{
    const bool generating = argc > 1 && QByteArray(argv[1]) == "generate";
    try {
        if (generating) {
            // Pictures are drawn with QPainter; no window is ever shown.
            qputenv("QT_QPA_PLATFORM", "offscreen");
            QGuiApplication app(argc, argv);
            return generate(app.arguments());
        }
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName("agent-sim");
        return serve(app.arguments());
    } catch (const std::exception &error) {
        std::fprintf(stderr, "agent-sim: %s\n", error.what());
        return 1;
    }
}
