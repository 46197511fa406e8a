#include "uibase/QrCode.h"

#include <QPainter>

#include <qrencode.h>

#include <memory>

namespace pantrio::QrCode
{

std::optional<Code> encode(const QByteArray &utf8, int maxVersion)
{
    // Version 0: libqrencode chooses the smallest version that holds the text
    // (a version given to it is only a minimum, raised as needed); what it
    // chose is then held against the limit.
    std::unique_ptr<QRinput, decltype(&QRinput_free)> input(QRinput_new2(0, QR_ECLEVEL_L),
                                                            &QRinput_free);
    if (!input)
        return std::nullopt;
    if (QRinput_appendECIheader(input.get(), 26) != 0 || // 26: UTF-8
        QRinput_append(input.get(), QR_MODE_8, int(utf8.size()),
                       reinterpret_cast<const unsigned char *>(utf8.constData())) != 0)
        return std::nullopt;
    std::unique_ptr<QRcode, decltype(&QRcode_free)> qr(QRcode_encodeInput(input.get()),
                                                       &QRcode_free);
    if (!qr || qr->version > maxVersion)
        return std::nullopt;
    Code code;
    code.version = qr->version;
    code.size = qr->width;
    code.dark.resize(qr->width * qr->width);
    for (int i = 0; i < code.dark.size(); ++i)
        code.dark[i] = qr->data[i] & 1;
    return code;
}

QImage image(const Code &code, int moduleSize)
{
    const int quiet = 4;
    const int side = (code.size + 2 * quiet) * moduleSize;
    QImage img(side, side, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    for (int y = 0; y < code.size; ++y)
        for (int x = 0; x < code.size; ++x)
            if (code.dark.at(y * code.size + x))
                p.fillRect((x + quiet) * moduleSize, (y + quiet) * moduleSize, moduleSize,
                           moduleSize, Qt::black);
    return img;
}

} // namespace pantrio::QrCode
