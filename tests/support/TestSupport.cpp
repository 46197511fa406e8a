#include "TestSupport.h"

#include "Connection.h"
#include "Fonts.h"
#include "HelpViewer.h"
#include "PrintCommands.h"
#include "Module1.h"
#include "Schema.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

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

QString ScriptedDialogs::saveFileName(QWidget *w, const QString &c, const QString &suggested,
                                      const QString &f)
{
    suggestedNames << suggested;
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

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

namespace
{
ProcessResult run(const QString &program, const QStringList &args, int timeoutMs,
                  bool unprivileged)
{
    QProcess p;
    if (unprivileged && runningAsRoot()) {
        p.setChildProcessModifier([] {
            // nobody:nogroup, and none of root's supplementary groups.
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(97);
        });
    }
    ProcessResult r;
    p.start(program, args);
    r.finished = p.waitForStarted() && p.waitForFinished(timeoutMs);
    r.crashed = p.exitStatus() == QProcess::CrashExit;
    r.exitCode = p.exitCode();
    r.lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    r.errors = QString::fromUtf8(p.readAllStandardError());
    return r;
}
} // namespace

ProcessResult runUnprivileged(const QString &program, const QStringList &args, int timeoutMs)
{
    return run(program, args, timeoutMs, true);
}

ProcessResult runProbe(const QStringList &args, bool unprivileged)
{
    return run(QCoreApplication::applicationDirPath() + QStringLiteral("/pantrio-probe"), args,
               120000, unprivileged);
}

void shareWithUnprivileged(const QString &path, bool writable)
{
    const QByteArray native = QFile::encodeName(path);
    if (runningAsRoot() && writable)
        (void)::chown(native.constData(), 65534, 65534);
    const bool folder = QFileInfo(path).isDir();
    mode_t mode = folder ? 0755 : 0644;
    if (writable)
        mode |= folder ? 0777 : 0666;
    ::chmod(native.constData(), mode);
}

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
}

void initApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Pantrio"));
    Fonts::installSubstitutions();
}

} // namespace pantrio::test

namespace pantrio::test
{

void Fixture::initTestCase()
{
    initApplication();
}

void Fixture::init()
{
    m_dir = std::make_unique<ProgramDir>(m_starterData);
    QVERIFY(m_dir->ok());
    m_dialogs = ScriptedDialogs::install();
    m_ended = false;
    Module1::setEndProgramHandler([this] { m_ended = true; });
    beforeEach();
}

void Fixture::cleanup()
{
    afterEach();
    const int unexpected = m_dialogs->unexpected;
    const QStringList messages = m_dialogs->messages;
    PrintCommands::closeAll();
    HelpViewer::closeViewer();
    m_dir.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY2(unexpected == 0, qPrintable(QStringLiteral("%1 unanswered question(s); last message: %2")
                                             .arg(unexpected)
                                             .arg(messages.isEmpty() ? QString() : messages.last())));
}

} // namespace pantrio::test
