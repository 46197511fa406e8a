#include "reports/engine/PdfText.h"

#include <QList>

namespace pantrio::PdfText
{

void fixCopiedSpaces(QByteArray &pdf)
{
    // Only inside the glyph-to-text tables (ToUnicode CMaps), whose entries are
    // four hex digits in angle brackets.
    static const QByteArray begin("begincmap"), end("endcmap"), tab("<0009>"), space("<0020>");
    qsizetype from = 0;
    while ((from = pdf.indexOf(begin, from)) >= 0) {
        const qsizetype to = pdf.indexOf(end, from);
        if (to < 0)
            return;
        for (qsizetype at = pdf.indexOf(tab, from); at >= 0 && at < to;
             at = pdf.indexOf(tab, at + tab.size())) {
            // "<first> <last> <0009>" would start a run of codes at the tab: a
            // run of more than one glyph is left alone.
            const qsizetype lineStart = pdf.lastIndexOf('\n', at) + 1;
            const QByteArray line = pdf.mid(lineStart, at - lineStart).trimmed();
            const QList<QByteArray> codes = line.split(' ');
            if (!line.contains('[') && codes.size() == 2 && codes.at(0) != codes.at(1))
                continue;
            pdf.replace(at, tab.size(), space);
        }
        from = to;
    }
}

} // namespace pantrio::PdfText
