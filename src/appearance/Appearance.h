#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <optional>

class QWidget;

namespace pantrio
{

class DataControl;

// The stored font and colours of a window (first row of Settings or Settings2),
// applied at load by CheckSettings and changed from the Options menu by
// DialogShowing. Controls are chosen by the prefix of their objectName().
namespace Appearance
{

enum class Window { Main, Editor };

// Colours are stored as 0x00BBGGRR, red in the lowest byte.
QColor fromStored(qint64 value);
qint64 toStored(const QColor &color);

struct Record {
    QString fontName;
    double fontSize = 10;
    bool italic = false;
    bool bold = false;
    std::optional<qint64> backColor;
    std::optional<qint64> foreColor;
};

// The first row with the defaults for Null fields; empty when the table has no row.
std::optional<Record> firstRecord(DataControl *adoSettings);

// Case-sensitive prefix match of a control name against patterns like "lst".
bool nameMatches(const QString &name, std::initializer_list<const char *> prefixes);

void setBackground(QWidget *w, const QColor &c);
void setTextColor(QWidget *w, const QColor &c);
void setWindowColor(QWidget *window, const QColor &c);

// Refreshes adoSettings and restyles the window's controls from the first row.
bool CheckSettings(QWidget *window, Window kind, DataControl *adoSettings, QString *error);

// Font (1), back colour (2) or font-and-form colour (4): asks through the
// dialog interface, restyles at once and stores the choice. Cancel changes
// nothing; a failure to store is reported and the window stays usable. The
// font dialog starts at fontPreset, in the face really drawn for it.
void DialogShowing(QWidget *window, Window kind, DataControl *adoSettings, int choice,
                   const QFont &fontPreset);

} // namespace Appearance
} // namespace pantrio
