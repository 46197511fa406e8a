#include "uibase/HelpViewer.h"
#include "uibase/TopLevelWindows.h"

#include "uibase/Dialogs.h"

#include <QFile>
#include <QHBoxLayout>
#include <QListWidget>
#include <QKeyEvent>
#include <QPointer>
#include <QRegularExpression>
#include <QTextBrowser>

namespace pantrio
{

namespace
{
QPointer<HelpViewer> g_viewer;
QMap<QString, QString> g_places;
} // namespace

void HelpViewer::setPlaces(const QMap<QString, QString> &places)
{
    g_places = places;
}

QList<HelpViewer::Topic> HelpViewer::readTopics(const QString &helpFile, QString *error)
{
    QFile f(helpFile);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("The help file %1 cannot be opened: %2")
                         .arg(helpFile, f.errorString());
        return {};
    }
    const QString text = QString::fromUtf8(f.readAll());
    static const QRegularExpression topicRe(
        QStringLiteral("<section\\s+id=\"topic-(\\d+)\"\\s+title=\"([^\"]*)\"\\s*>(.*?)</section>"),
        QRegularExpression::DotMatchesEverythingOption);
    QList<Topic> topics;
    for (auto it = topicRe.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        topics.append({m.captured(1).toInt(), m.captured(2), m.captured(3).trimmed()});
    }
    if (topics.isEmpty() && error)
        *error = QStringLiteral("The help file %1 holds no topics.").arg(helpFile);
    return topics;
}

HelpViewer::HelpViewer() : QWidget(nullptr, Qt::Window)
{
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("Pantrio Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("helpTopics"));
    m_list->setAccessibleName(QStringLiteral("Help topics"));
    m_list->setMaximumWidth(260);
    m_text = new QTextBrowser(this);
    m_text->setObjectName(QStringLiteral("helpText"));
    m_text->setAccessibleName(QStringLiteral("Help text"));
    m_text->setOpenLinks(false);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(m_text, 1);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < m_topics.size())
            show(m_topics.at(row).number);
    });
    // Links between topics are written as href="#topic-N".
    connect(m_text, &QTextBrowser::anchorClicked, this, [this](const QUrl &url) {
        const QString frag = url.fragment().isEmpty() ? url.toString() : url.fragment();
        if (frag.contains(QLatin1String("topic-")))
            show(frag.section(QLatin1Char('-'), -1).toInt());
    });
    resize(760, 520);
}

bool HelpViewer::load(const QString &helpFile, QString *error)
{
    if (helpFile == m_file && !m_topics.isEmpty())
        return true;
    QList<Topic> topics = readTopics(helpFile, error);
    if (topics.isEmpty())
        return false;
    m_file = helpFile;
    m_topics = topics;
    const QSignalBlocker block(m_list);
    m_list->clear();
    for (const Topic &t : std::as_const(m_topics))
        m_list->addItem(t.title);
    return true;
}

void HelpViewer::show(int topic)
{
    int index = -1;
    for (int i = 0; i < m_topics.size(); ++i)
        if (m_topics.at(i).number == topic)
            index = i;
    if (index < 0)
        return;
    m_current = topic;
    const Topic &t = m_topics.at(index);
    QString html = t.html;
    for (auto it = g_places.cbegin(); it != g_places.cend(); ++it)
        html.replace(it.key(), it.value().toHtmlEscaped());
    m_text->setHtml(QStringLiteral("<h2>%1</h2>%2").arg(t.title.toHtmlEscaped(), html));
    const QSignalBlocker block(m_list);
    m_list->setCurrentRow(index);
}

HelpViewer *HelpViewer::showTopic(const QString &helpFile, int topic)
{
    if (!g_viewer) {
        g_viewer = new HelpViewer;
        TopLevelWindows::adopt(g_viewer);
    }
    QString error;
    if (!g_viewer->load(helpFile, &error)) {
        Dialogs::notify(nullptr, error);
        delete g_viewer.data();
        return nullptr;
    }
    g_viewer->show(topic);
    g_viewer->QWidget::show();
    g_viewer->raise();
    g_viewer->activateWindow();
    return g_viewer;
}

HelpViewer *HelpViewer::instance()
{
    return g_viewer;
}

namespace
{
QString g_helpFile;
}

void HelpViewer::setHelpFile(const QString &helpFile)
{
    g_helpFile = helpFile;
}

HelpViewer *HelpViewer::showTopic(int topic)
{
    return showTopic(g_helpFile, topic);
}

bool HelpViewer::windowKey(QWidget *window, QKeyEvent *event, int topic, bool escapeCloses)
{
    if (event->key() == Qt::Key_F1) {
        showTopic(topic);
        return true;
    }
    if (escapeCloses && event->key() == Qt::Key_Escape) {
        window->close();
        return true;
    }
    return false;
}

void HelpViewer::closeViewer()
{
    delete g_viewer.data();
}

} // namespace pantrio
