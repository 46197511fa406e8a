#pragma once

#include <QByteArray>
#include <QImage>
#include <QVector>

#include <optional>

namespace pantrio::QrCode
{

// A QR code's modules, made by libqrencode.
struct Code {
    int version = 0;
    int size = 0;       // modules along a side
    QVector<bool> dark; // size * size, row by row
};

// The UTF-8 text in one code, in byte mode behind the ECI that names UTF-8, at
// error correction level L; nothing when it needs a larger version than
// maxVersion (a code too dense to read from a screen).
std::optional<Code> encode(const QByteArray &utf8, int maxVersion);

// Black modules on white, moduleSize pixels each, inside the quiet zone of four
// modules a reader needs.
QImage image(const Code &code, int moduleSize);

} // namespace pantrio::QrCode
