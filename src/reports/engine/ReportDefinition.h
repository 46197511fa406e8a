#pragma once

#include <QColor>
#include <QMarginsF>
#include <QRectF>
#include <QString>
#include <QVector>

#include <optional>

namespace pantrio
{

// A banded report held as data, measured in twips (1/1440 inch).
struct FontSpec {
    QString family;
    double points = 10;
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

struct ReportControl {
    enum class Kind { Label, TextBox, Shape };
    enum class Shape { Rectangle, Circle };

    Kind kind = Kind::Label;
    QString name;
    QString caption; // labels
    QString field;   // text boxes: a field of the group (parent) or its rows (child)
    bool parentLevel = false;
    QRectF geometry;              // left, top, width, height within the section
    std::optional<FontSpec> font; // the report font when empty
    Qt::Alignment alignment = Qt::AlignLeft;
    std::optional<QColor> background; // opaque when set
    bool border = false;
    Shape shape = Shape::Rectangle;
    std::optional<QColor> fill;
};

struct ReportSection {
    QString name;
    double height = 0;
    QVector<ReportControl> controls;
    bool isEmpty() const { return height <= 0 && controls.isEmpty(); }
};

struct ReportDefinition {
    QString name;
    QString caption;
    double width = 0;
    QMarginsF margins{1440, 1440, 1440, 1440};
    FontSpec font;
    ReportSection reportHeader, pageHeader, groupHeader, detail, groupFooter, pageFooter,
        reportFooter;

    // The three reports of the program.
    static ReportDefinition rptPrint();
    // By aisle; for a store, the page header and the caption name it.
    static ReportDefinition rptAisle(const QString &store = QString());
    static ReportDefinition rptAll();
};

} // namespace pantrio
