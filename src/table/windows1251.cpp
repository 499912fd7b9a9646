#include "table/windows1251.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace quilex::windows1251 {

namespace {

struct Tables {
    bool valid = false;
    std::array<char16_t, 256> toUnicode{};
    // Indexed by UTF-16 unit; 0 means "no Windows-1251 form" (only U+0000 maps to byte 0,
    // and that one is refused on purpose).
    std::array<unsigned char, 65536> fromUnicode{};
    // Bytes that come back as themselves through decode and encode.
    std::array<bool, 256> kept{};
    // True when the zero byte is the only one that does not: then looking for it is the check.
    bool keepsAllButZero = false;
};

std::unique_ptr<Tables> buildTables()
{
    auto tables = std::make_unique<Tables>();
    QStringDecoder decoder("windows-1251");
    if (!decoder.isValid())
        return tables;
    QByteArray allBytes(256, Qt::Uninitialized);
    for (int b = 0; b < 256; ++b)
        allBytes[b] = static_cast<char>(b);
    const QString chars = decoder.decode(allBytes);
    // The lookup relies on one UTF-16 unit per byte.
    if (decoder.hasError() || chars.size() != 256)
        return tables;
    for (int b = 0; b < 256; ++b) {
        const char16_t u = chars[b].unicode();
        if (u >= 0xD800 && u <= 0xDFFF)
            return tables;
        tables->toUnicode[static_cast<size_t>(b)] = u;
        if (b != 0 && u != 0xFFFD)
            tables->fromUnicode[u] = static_cast<unsigned char>(b);
    }
    for (int b = 1; b < 256; ++b)
        tables->kept[static_cast<size_t>(b)] = tables->fromUnicode[tables->toUnicode[static_cast<size_t>(b)]] == b;
    tables->keepsAllButZero = std::all_of(tables->kept.begin() + 1, tables->kept.end(), [](bool k) { return k; });
    tables->valid = true;
    return tables;
}

const Tables& tables()
{
    static const std::unique_ptr<Tables> instance = buildTables();
    return *instance;
}

} // namespace

bool available()
{
    return tables().valid;
}

qsizetype encodeInto(QStringView text, char* out)
{
    const Tables& t = tables();
    char* dst = out;
    const char16_t* src = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = src[i];
        unsigned char b = t.fromUnicode[u];
        if (b == 0) {
            b = '?';
            // A surrogate pair is one character, so it becomes one "?".
            if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF)
                ++i;
        }
        *dst++ = static_cast<char>(b);
    }
    return dst - out;
}

void appendEncoded(QStringView text, QByteArray& out)
{
    const qsizetype start = out.size();
    out.resize(start + text.size());
    out.truncate(start + encodeInto(text, out.data() + start));
}

QByteArray encode(QStringView text)
{
    QByteArray out;
    appendEncoded(text, out);
    return out;
}

QString decode(QByteArrayView bytes)
{
    const Tables& t = tables();
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t* dst = reinterpret_cast<char16_t*>(text.data());
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        dst[i] = t.toUnicode[src[i]];
    return text;
}

qsizetype decodeUntilZero(QByteArrayView bytes, char16_t* out)
{
    const Tables& t = tables();
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
    qsizetype i = 0;
    for (; i < bytes.size() && src[i] != 0; ++i)
        out[i] = t.toUnicode[src[i]];
    return i;
}

bool keepsBytes(QByteArrayView bytes)
{
    const Tables& t = tables();
    if (!t.valid)
        return false;
    if (t.keepsAllButZero)
        return bytes.isEmpty() || !std::memchr(bytes.data(), 0, static_cast<size_t>(bytes.size()));
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
    return std::all_of(src, src + bytes.size(), [&t](unsigned char b) { return t.kept[b]; });
}

bool keepsAllButZero()
{
    return tables().valid && tables().keepsAllButZero;
}

} // namespace quilex::windows1251
