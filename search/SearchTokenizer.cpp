#include "search/SearchTokenizer.h"

#include "store/SqliteException.h"

#include <sqlite3.h>

#include <QString>

#include <memory>
#include <utility>

namespace {

constexpr const char *kBaseTokenizerName = "unicode61";

// Scripts written without spaces between words: each character is a word of
// its own to the index.
bool isCharacterWord(char32_t c)
{
    return (c >= 0x0E00 && c <= 0x0E7F)        // Thai
           || (c >= 0x2E80 && c <= 0x2FDF)     // CJK radicals
           || (c >= 0x3040 && c <= 0x312F)     // kana, bopomofo
           || (c >= 0x31F0 && c <= 0x31FF)     // kana extensions
           || (c >= 0x3400 && c <= 0x4DBF)     // CJK extension A
           || (c >= 0x4E00 && c <= 0x9FFF)     // CJK unified ideographs
           || (c >= 0xAC00 && c <= 0xD7AF)     // Hangul syllables
           || (c >= 0xF900 && c <= 0xFAFF)     // CJK compatibility ideographs
           || (c >= 0xFF66 && c <= 0xFF9F)     // half-width kana
           || (c >= 0x20000 && c <= 0x3FFFF);  // CJK extensions B and later
}

// The code point starting at `p` and its length in bytes; a malformed byte
// counts as one byte of its own (and is no character word).
std::pair<char32_t, int> decodeUtf8(const char *p, int available)
{
    const auto lead = static_cast<unsigned char>(p[0]);
    int length = 1;
    char32_t c = lead;
    if (lead >= 0xF0)
        length = 4, c = lead & 0x07;
    else if (lead >= 0xE0)
        length = 3, c = lead & 0x0F;
    else if (lead >= 0xC0)
        length = 2, c = lead & 0x1F;
    if (length > available || lead >= 0xF8 || (lead & 0xC0) == 0x80)
        return {0xFFFD, 1};
    for (int k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(p[k]);
        if ((next & 0xC0) != 0x80)
            return {0xFFFD, 1};
        c = (c << 6) | (next & 0x3F);
    }
    return {c, length};
}

bool holdsCharacterWord(const char *p, int length)
{
    for (int pos = 0; pos < length;) {
        const auto [c, size] = decodeUtf8(p + pos, length - pos);
        if (isCharacterWord(c))
            return true;
        pos += size;
    }
    return false;
}

using TokenCallback = int (*)(void *, int, const char *, int, int, int);

// What the base tokenizer's instance and factory are, shared by every table
// of the connection.
struct BaseTokenizer
{
    fts5_tokenizer api{};
    void *context = nullptr;
};

struct WordsTokenizer
{
    const BaseTokenizer *base = nullptr;
    Fts5Tokenizer *instance = nullptr;
};

// One xTokenize call: the caller's callback and the text the offsets refer to.
struct TokenizeCall
{
    WordsTokenizer *tokenizer;
    void *callerContext;
    TokenCallback callerToken;
    int flags;
    const char *text;
    int offset;  // added to the offsets of a re-tokenized part
};

int forwardShifted(void *context, int tflags, const char *token, int length, int start, int end)
{
    const auto *call = static_cast<const TokenizeCall *>(context);
    return call->callerToken(call->callerContext, tflags, token, length, start + call->offset,
                             end + call->offset);
}

// Tokens of text[start, end) by the base tokenizer, with offsets into `text`.
int tokenizeBasePart(const TokenizeCall &call, int start, int end)
{
    TokenizeCall shifted = call;
    shifted.offset = start;
    return call.tokenizer->base->api.xTokenize(call.tokenizer->instance, &shifted, call.flags, call.text + start,
                                               end - start, forwardShifted);
}

// A base token holding character-word scripts: each such character alone,
// the runs between them through the base tokenizer again.
int splitToken(const TokenizeCall &call, int start, int end)
{
    int runStart = start;
    int pos = start;
    while (pos < end) {
        const auto [c, size] = decodeUtf8(call.text + pos, end - pos);
        if (isCharacterWord(c)) {
            if (runStart < pos) {
                if (const int rc = tokenizeBasePart(call, runStart, pos); rc != SQLITE_OK)
                    return rc;
            }
            if (const int rc = call.callerToken(call.callerContext, 0, call.text + pos, size, pos, pos + size);
                rc != SQLITE_OK)
                return rc;
            runStart = pos + size;
        }
        pos += size;
    }
    return runStart < end ? tokenizeBasePart(call, runStart, end) : SQLITE_OK;
}

int onBaseToken(void *context, int tflags, const char *token, int length, int start, int end)
{
    const auto *call = static_cast<const TokenizeCall *>(context);
    if (!holdsCharacterWord(call->text + start, end - start))
        return call->callerToken(call->callerContext, tflags, token, length, start, end);
    return splitToken(*call, start, end);
}

int createWords(void *context, const char **, int, Fts5Tokenizer **out)
{
    const auto *base = static_cast<const BaseTokenizer *>(context);
    auto words = std::make_unique<WordsTokenizer>();
    words->base = base;
    const char *arguments[] = {"remove_diacritics", "2"};
    const int rc = base->api.xCreate(base->context, arguments, 2, &words->instance);
    if (rc != SQLITE_OK)
        return rc;
    *out = reinterpret_cast<Fts5Tokenizer *>(words.release());
    return SQLITE_OK;
}

void deleteWords(Fts5Tokenizer *tokenizer)
{
    std::unique_ptr<WordsTokenizer> words(reinterpret_cast<WordsTokenizer *>(tokenizer));
    words->base->api.xDelete(words->instance);
}

int tokenizeWords(Fts5Tokenizer *tokenizer, void *context, int flags, const char *text, int length,
                  TokenCallback token)
{
    auto *words = reinterpret_cast<WordsTokenizer *>(tokenizer);
    TokenizeCall call{words, context, token, flags, text, 0};
    return words->base->api.xTokenize(words->instance, &call, flags, text, length, onBaseToken);
}

void destroyBase(void *context)
{
    delete static_cast<BaseTokenizer *>(context);
}

fts5_api *ftsApi(sqlite3 *db)
{
    fts5_api *api = nullptr;
    sqlite3_stmt *statement = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_pointer(statement, 1, &api, "fts5_api_ptr", nullptr);
        sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    if (!api)
        throw SqliteException(rc == SQLITE_OK ? SQLITE_ERROR : rc,
                              QStringLiteral("This SQLite library has no full-text search (FTS5)"));
    return api;
}

} // namespace

void registerSearchTokenizer(sqlite3 *db)
{
    fts5_api *api = ftsApi(db);
    auto base = std::make_unique<BaseTokenizer>();
    int rc = api->xFindTokenizer(api, kBaseTokenizerName, &base->context, &base->api);
    if (rc != SQLITE_OK)
        throw SqliteException(rc, QStringLiteral("The FTS5 tokenizer unicode61 is missing"));
    fts5_tokenizer words{createWords, deleteWords, tokenizeWords};
    // SQLite owns `base` from here on and destroys it with the connection.
    rc = api->xCreateTokenizer(api, kSearchTokenizerName, base.release(), &words, destroyBase);
    if (rc != SQLITE_OK)
        throw SqliteException(rc, QString::fromUtf8(sqlite3_errmsg(db)));
}
