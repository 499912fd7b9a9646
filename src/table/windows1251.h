#pragma once
// Texts live as QString inside the program and as Windows-1251 bytes in project files.
// The byte table comes from Qt's own "windows-1251" codec; the conversion itself is a table
// lookup, because a codec call per cell costs more than the work, and because the codec
// stores a character it cannot map as the control byte 0x1A, which would read back as a real
// character. We store such a character as "?".

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace quilex::windows1251 {

// False when this Qt has no Windows-1251 codec (a build without ICU); nothing converts then.
bool available();

// Appends the Windows-1251 form of text to out. A character without one, a lone surrogate and
// U+0000 (which a reader would take as the end of the text) are each written as one "?".
void appendEncoded(QStringView text, QByteArray& out);
QByteArray encode(QStringView text);
// The same into a buffer with room for text.size() bytes; returns the bytes written.
qsizetype encodeInto(QStringView text, char* out);

// One character per byte; every byte has a character.
QString decode(QByteArrayView bytes);
// The same into out, which has room for bytes.size() characters, ending at the first zero byte
// (which ends a text in a file); returns the characters written.
qsizetype decodeUntilZero(QByteArrayView bytes, char16_t* out);

// True when encode(decode(bytes)) gives back the very same bytes: no zero byte, and no byte
// without a character of its own (which would come back as "?").
bool keepsBytes(QByteArrayView bytes);
// True when the zero byte is the only one keepsBytes refuses, as in the usual table: then a
// search for zero bytes answers it for many texts at once.
bool keepsAllButZero();

} // namespace quilex::windows1251
