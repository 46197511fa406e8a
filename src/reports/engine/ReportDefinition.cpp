#include "reports/engine/ReportDefinition.h"

namespace pantrio
{

namespace
{

ReportControl label(const char *name, const QString &caption, QRectF g, FontSpec font)
{
    ReportControl c;
    c.kind = ReportControl::Kind::Label;
    c.name = QLatin1String(name);
    c.caption = caption;
    c.geometry = g;
    c.font = font;
    return c;
}

ReportControl text(const char *name, const char *field, bool parent, QRectF g,
                   std::optional<FontSpec> font, Qt::Alignment align = Qt::AlignLeft)
{
    ReportControl c;
    c.kind = ReportControl::Kind::TextBox;
    c.name = QLatin1String(name);
    c.field = QLatin1String(field);
    c.parentLevel = parent;
    c.geometry = g;
    c.font = font;
    c.alignment = align;
    return c;
}

ReportControl shape(ReportControl::Shape kind, QRectF g, std::optional<QColor> fill)
{
    ReportControl c;
    c.kind = ReportControl::Kind::Shape;
    c.name = QStringLiteral("Shape1");
    c.shape = kind;
    c.geometry = g;
    c.fill = fill;
    return c;
}

const FontSpec kSouvenirLabel{QStringLiteral("Souvenir Lt BT"), 9.75, false, true};
const FontSpec kArialBold{QStringLiteral("Arial"), 9.75, true, false};
const QColor kLightRed(255, 192, 192);
const QColor kLightBlue(192, 192, 255);

} // namespace

ReportDefinition ReportDefinition::rptPrint()
{
    ReportDefinition r;
    r.name = QStringLiteral("rptPrint");
    r.caption = QStringLiteral("Pantrio");
    r.width = 9081;
    r.font = {QStringLiteral("Souvenir Lt BT"), 12, true, false};
    r.pageHeader = {
        QStringLiteral("PageHeader"),
        450,
        {label("Label2", QStringLiteral("Item:"), {432, 144, 3456, 300}, kSouvenirLabel),
         label("Label4", QStringLiteral("Aisle:"), {6048, 144, 1398, 300}, kSouvenirLabel),
         label("Label5", QStringLiteral("Quantity:"), {7488, 144, 1542, 300}, kSouvenirLabel)}};
    ReportControl band =
        text("txtCategory", "Category", true, {0, 0, 9072, 300}, std::nullopt, Qt::AlignHCenter);
    band.background = kLightRed;
    band.border = true;
    r.groupHeader = {QStringLiteral("ListPrint_Grouping_Header"), 375, {band}};
    r.detail = {QStringLiteral("ListPrint_Detail"),
                300,
                {text("txtItem", "Item", false, {576, 0, 5472, 300}, kArialBold),
                 text("txtAisle", "Aisle", false, {6048, 0, 1575, 300}, kArialBold),
                 text("txtQuantity", "Quantity", false, {7632, 0, 1449, 300}, kArialBold),
                 shape(ReportControl::Shape::Rectangle, {144, 35, 230, 230}, std::nullopt)}};
    r.groupFooter = {QStringLiteral("ListPrint_Grouping_Footer"), 0, {}};
    r.pageFooter = {QStringLiteral("PageFooter"), 0, {}};
    return r;
}

ReportDefinition ReportDefinition::rptAisle(const QString &store)
{
    ReportDefinition r;
    r.name = QStringLiteral("rptAisle");
    r.caption = QStringLiteral("Pantrio");
    r.width = 9105;
    r.font = {QStringLiteral("Souvenir Lt BT"), 12, true, false};
    r.pageHeader = {
        QStringLiteral("PageHeader"),
        450,
        {label("Label2", QStringLiteral("Item:"), {432, 144, 3600, 300}, kSouvenirLabel),
         label("Label5", QStringLiteral("Quantity:"), {7776, 144, 1254, 300}, kSouvenirLabel)}};
    if (!store.isEmpty()) {
        r.caption = QStringLiteral("Pantrio \u2014 %1").arg(store);
        ReportControl shop = label("lblStore", store, {4176, 144, 3456, 300}, kSouvenirLabel);
        shop.font->bold = true;
        shop.alignment = Qt::AlignHCenter;
        r.pageHeader.controls.append(shop);
    }
    ReportControl band =
        text("txtAisle", "Aisle", true, {0, 0, 9072, 300}, std::nullopt, Qt::AlignHCenter);
    band.background = kLightBlue;
    r.groupHeader = {QStringLiteral("ListPrint_Grouping_Header"), 315, {band}};
    r.detail = {QStringLiteral("ListPrint_Detail"),
                300,
                {text("txtItem", "Item", false, {576, 0, 5616, 300}, kArialBold),
                 text("txtQuantity", "Quantity", false, {7776, 0, 1305, 300}, kArialBold),
                 shape(ReportControl::Shape::Rectangle, {144, 35, 230, 230}, std::nullopt),
                 text("txtCategory", "Category", false, {5904, 0, 1728, 300}, kArialBold,
                      Qt::AlignHCenter)}};
    r.groupFooter = {QStringLiteral("ListPrint_Grouping_Footer"), 0, {}};
    r.pageFooter = {QStringLiteral("PageFooter"), 0, {}};
    return r;
}

ReportDefinition ReportDefinition::rptAll()
{
    ReportDefinition r;
    r.name = QStringLiteral("rptAll");
    r.caption = QStringLiteral("Full List");
    r.width = 10080;
    r.margins = {720, 720, 720, 720};
    r.font = {QStringLiteral("Arial"), 8.25, false, false};
    r.reportHeader = {QStringLiteral("ReportHeader"),
                      288,
                      {label("Label1", QStringLiteral("Full List"), {0, 0, 10080, 288},
                             {QStringLiteral("Benguiat Bk BT"), 12, true, false})}};
    r.reportHeader.controls[0].alignment = Qt::AlignHCenter;
    r.pageHeader = {QStringLiteral("PageHeader"), 0, {}};
    r.groupHeader = {QStringLiteral("All_Grouping_Header"),
                     288,
                     {text("txtCategory", "Category", true, {0, 0, 7485, 288},
                           FontSpec{QStringLiteral("Benguiat Bk BT"), 11.25, true, false, true})}};
    const FontSpec gothic{QStringLiteral("BenguiatGot Bk BT"), 9.75, false, false};
    r.detail = {QStringLiteral("All_Detail"),
                250,
                {text("txtItem", "Item", false, {432, 0, 3888, 250}, gothic),
                 text("txtAisle", "Aisle", false, {4320, 0, 2736, 250}, gothic),
                 shape(ReportControl::Shape::Circle, {144, 50, 135, 150}, kLightBlue)}};
    r.groupFooter = {QStringLiteral("All_Grouping_Footer"), 0, {}};
    r.pageFooter = {QStringLiteral("PageFooter"), 0, {}};
    r.reportFooter = {QStringLiteral("ReportFooter"), 0, {}};
    return r;
}

} // namespace pantrio
