#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// Turns Ctrl-C (SIGINT) into a Qt signal: the handler only writes a byte to a
// pipe, and a socket notifier on the other end emits interrupted() from the
// event loop, where cancelling a worker is safe. Only one may exist.
class CliInterrupt : public QObject
{
    Q_OBJECT
public:
    explicit CliInterrupt(QObject *parent = nullptr);
    ~CliInterrupt() override;

    // True once SIGINT has arrived, even while no event loop was running.
    static bool happened();

signals:
    void interrupted();

private:
    void drainPipe();

    std::unique_ptr<QSocketNotifier> m_notifier;
};
