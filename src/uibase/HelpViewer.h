#pragma once

#include <QMap>
#include <QWidget>

class QKeyEvent;
class QListWidget;
class QTextBrowser;

namespace pantrio
{

// The help window: the topics of Vendora.hlp, opened at a numbered topic. Not
// modal; one window serves both program windows and follows F1.
class HelpViewer : public QWidget
{
    Q_OBJECT
  public:
    struct Topic {
        int number = 0;
        QString title;
        QString html;
    };

    // Reads the topics of a help file; empty with a reason when it cannot.
    static QList<Topic> readTopics(const QString &helpFile, QString *error);

    // Words in the topics that stand for places on this computer, such as
    // {database} and {backups}, and what they are replaced with when shown.
    static void setPlaces(const QMap<QString, QString> &places);

    // Shows the help window at a topic (creating it when needed).
    static HelpViewer *showTopic(const QString &helpFile, int topic);
    // The program's help file, set once at start-up, for windows that are
    // not handed one.
    static void setHelpFile(const QString &helpFile);
    static HelpViewer *showTopic(int topic);
    // A small window's keys: F1 shows its topic, Esc closes it (when
    // escapeCloses). True when the key was one of them.
    static bool windowKey(QWidget *window, QKeyEvent *event, int topic, bool escapeCloses);
    static HelpViewer *instance();
    static void closeViewer();

    int currentTopic() const { return m_current; }

  private:
    HelpViewer();
    bool load(const QString &helpFile, QString *error);
    void show(int topic);

    QString m_file;
    QList<Topic> m_topics;
    QListWidget *m_list;
    QTextBrowser *m_text;
    int m_current = 0;
};

} // namespace pantrio
