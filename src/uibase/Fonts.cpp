#include "uibase/Fonts.h"

#include <QFont>
#include <QFontInfo>
#include <QStringList>

namespace pantrio::Fonts
{

void installSubstitutions()
{
    struct Pair {
        const char *face;
        const char *standIn;
    };
    static const Pair pairs[] = {
        {"Souvenir Lt BT", "URW Bookman"},    {"Benguiat Bk BT", "URW Bookman"},
        {"BenguiatGot Bk BT", "URW Gothic"},  {"AvantGarde Bk BT", "URW Gothic"},
        {"Arial", "Liberation Sans"},         {"Tahoma", "Liberation Sans"},
        {"MS Sans Serif", "Liberation Sans"},
    };
    for (const Pair &p : pairs) {
        QFont::insertSubstitutions(QString::fromLatin1(p.face),
                                   QStringList() << QString::fromLatin1(p.standIn)
                                                 << QStringLiteral("DejaVu Sans"));
    }
}

QString familyName(const QFont &font)
{
    return font.family().section(QStringLiteral(" ["), 0, 0).trimmed();
}

QFont drawnFace(QFont font)
{
    // As the font database lists it: with its foundry ("URW Bookman [urw]")
    // where two foundries offer the family, and in the style really drawn
    // ("Light Italic"), so a font dialog finds it in its lists.
    const QFontInfo drawn(font);
    font.setFamily(drawn.family());
    font.setStyleName(drawn.styleName());
    return font;
}

} // namespace pantrio::Fonts
