#include "TestSupport.h"

#include "Connection.h"
#include "Fonts.h"
#include "Module1.h"
#include "Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QSqlQuery>
#include <QSqlRecord>

namespace pantrio::test
{

Dialogs::Answer ScriptedDialogs::message(QWidget *, const QString &text, Buttons buttons)
{
    messages << text;
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (answers.empty()) {
        ++unexpected;
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
    const Answer a = answers.front();
    answers.pop_front();
    return a;
}

std::optional<QFont> ScriptedDialogs::chooseFont(QWidget *, const QFont &initial)
{
    lastFontPreset = initial;
    if (fonts.empty()) {
        ++unexpected;
        return std::nullopt;
    }
    auto f = fonts.front();
    fonts.pop_front();
    return f;
}

std::optional<QColor> ScriptedDialogs::chooseColor(QWidget *, const QColor &, const QString &title)
{
    colorTitles << title;
    if (colors.empty()) {
        ++unexpected;
        return std::nullopt;
    }
    auto c = colors.front();
    colors.pop_front();
    return c;
}

QString ScriptedDialogs::openFileName(QWidget *, const QString &, const QString &)
{
    if (fileNames.empty())
        return {};
    const QString f = fileNames.front();
    fileNames.pop_front();
    return f;
}

QString ScriptedDialogs::saveFileName(QWidget *w, const QString &c, const QString &,
                                      const QString &f)
{
    return openFileName(w, c, f);
}

bool ScriptedDialogs::choosePrinter(QWidget *, QPrinter *printer, int, int *from, int *to)
{
    if (printFile.isEmpty())
        return false;
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(printFile);
    *from = *to = 0;
    return true;
}

namespace
{
class ScriptedProgress : public Dialogs::Progress
{
  public:
    explicit ScriptedProgress(ScriptedDialogs *owner) : m_owner(owner) {}
    bool setValue(int value, int) override
    {
        ++m_owner->progressSteps;
        return m_owner->cancelAt < 0 || value < m_owner->cancelAt;
    }

  private:
    ScriptedDialogs *m_owner;
};
} // namespace

std::unique_ptr<Dialogs::Progress> ScriptedDialogs::progress(QWidget *, const QString &)
{
    return std::make_unique<ScriptedProgress>(this);
}

ScriptedDialogs *ScriptedDialogs::install()
{
    auto *d = new ScriptedDialogs;
    Dialogs::setInstance(d);
    return d;
}

ProgramDir::ProgramDir(bool starterData)
{
    QString error;
    m_ok = m_dir.isValid() && Schema::createDatabase(database(), starterData, &error);
    QFile::copy(QStringLiteral(PANTRIO_SOURCE_DIR "/resources/Vendora.hlp"),
                QDir(path()).filePath(QStringLiteral("Vendora.hlp")));
    Module1::setProgramDirectory(path());
    if (!m_ok)
        qWarning("cannot make a test database: %s", qPrintable(error));
}

ProgramDir::~ProgramDir()
{
    Module1::shutdown();
}

QString ProgramDir::database() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("Vendora.mdb"));
}

QVariant ProgramDir::scalar(const QString &sql, const QVariantList &binds) const
{
    Connection c;
    if (!c.open(database(), nullptr))
        return {};
    QSqlQuery q(c.database());
    q.prepare(sql);
    for (const QVariant &v : binds)
        q.addBindValue(v);
    if (!q.exec() || !q.next())
        return {};
    return q.value(0);
}

bool ProgramDir::exec(const QString &sql, const QVariantList &binds) const
{
    Connection c;
    return c.open(database(), nullptr) && c.exec(sql, binds, nullptr);
}

QList<QVariantList> ProgramDir::rows(const QString &sql) const
{
    Connection c;
    QList<QVariantList> out;
    if (!c.open(database(), nullptr))
        return out;
    QSqlQuery q(c.database());
    if (!q.exec(sql))
        return out;
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < q.record().count(); ++i)
            row << q.value(i);
        out << row;
    }
    return out;
}

void initApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Pantrio"));
    Fonts::installSubstitutions();
}

} // namespace pantrio::test
