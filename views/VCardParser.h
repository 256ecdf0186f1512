#pragma once

#include <QByteArray>
#include <QList>

#include <functional>
#include <optional>

// Byte-level reader of vCard content lines. It unfolds continuation lines,
// splits each line into name, parameters and value, undoes the transfer
// encoding of the value (quoted-printable, Base64, 8-bit) and reports each
// property through two callbacks. Character sets are left to the caller.
//
// Input may arrive in pieces; only the last piece is marked final. Once a
// character is rejected the parser stops and ignores everything after it.
class VCardParser
{
public:
    struct Param
    {
        QByteArray name;
        std::optional<QByteArray> value;   // none when written without "="
    };

    // Called when a line's ":" is reached, before any of its value.
    using PropertyHandler = std::function<void(const QByteArray &name, const QList<Param> &params)>;
    // Called with the decoded value at the end of the line (only when it is
    // not empty), then once more with nullptr as the end-of-value mark.
    using ValueHandler = std::function<void(const QByteArray *value)>;

    VCardParser(PropertyHandler onProperty, ValueHandler onValue);

    // Returns false once the input has been rejected.
    bool feed(const QByteArray &bytes, bool final);
    bool rejected() const { return m_rejected; }

private:
    enum class State { Name, BeforeParamName, ParamName, BeforeParamValue, ParamValue, Value };
    enum class Encoding { None, QuotedPrintable, Base64, EightBit };

    struct ParamOffsets
    {
        qsizetype name;
        qsizetype value;   // -1: no value
    };

    void feedByte(char c);
    bool continuesSoftLineBreak() const;
    bool blankLineEndsValue() const;
    void pass(char c);

    bool process(char c);
    bool processName(char c);
    bool processBeforeParamName(char c);
    bool processParamName(char c);
    bool processBeforeParamValue(char c);
    bool processParamValue(char c);
    bool processValue(char c);

    void emitProperty();
    bool decodeValueChar(char c);
    void decodeQuotedPrintable(char c);
    bool decodeBase64(char c);
    bool flushBase64Quartet();
    bool endOfValue();
    void resetLine();
    void append(char c);
    QByteArray pieceAt(qsizetype offset) const;

    PropertyHandler m_onProperty;
    ValueHandler m_onValue;

    bool m_atLineStart = true;
    bool m_folded = false;
    bool m_rejected = false;

    QByteArray m_buffer;
    State m_state = State::Name;
    bool m_skipBlanks = true;
    QList<ParamOffsets> m_params;
    bool m_escaped = false;
    Encoding m_encoding = Encoding::None;
    bool m_qpPending = false;
    char m_scratch[5] = {};
    int m_scratchLength = 0;
};
