#pragma once

// Where a run of messages goes: a file format or a local database. Used as
// begin(), write() for each message, end(), then destroyed. A run that stops
// early (error or cancel) skips end(); what happens to a half-written target
// is up to the implementation and its caller.
template <typename Message>
class AbsFormatExport
{
public:
    virtual ~AbsFormatExport() = default;

    virtual void begin() = 0;
    virtual void write(const Message &message) = 0;
    virtual void end() = 0;

protected:
    AbsFormatExport() = default;
    AbsFormatExport(const AbsFormatExport &) = delete;
    AbsFormatExport &operator=(const AbsFormatExport &) = delete;
};
