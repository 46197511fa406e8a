#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>

namespace pantrio
{

// Who may talk to the shared list: the one-time joining secrets, the limits
// on attempts to join, and the phones that joined with their tokens' hashes.
// Read on the server's threads and written on the program's, each call under
// its own lock; it keeps nothing in the file (the share service does).
class PhoneRegister
{
  public:
    struct Phone {
        QString id, name;
        QByteArray hash; // of its token
    };
    enum class Attempt { Allowed, TooManyFromThere, TooMany };

    static constexpr int joinsPerMinute = 10;        // from one address
    static constexpr int joinsPerMinuteInAll = 60;   // from all addresses together

    // A new secret (128 random bits), valid for the given time, used once.
    QString newSecret(int seconds);
    void clearSecrets();
    // Counts an attempt to join from an address, within the limits.
    Attempt countAttempt(const QString &address);
    // True, and the secret is used up, when it is one given and in date.
    bool useSecret(const QString &secret);

    void setPhones(const QList<Phone> &phones);
    void add(const Phone &phone);
    void remove(const QString &id);
    QList<Phone> phones() const;
    bool holds(const QString &id) const;
    // The phone a bearer token belongs to; empty when none. Every hash is
    // compared whole, whichever matches.
    QString phoneOf(const QByteArray &token) const;

    static QByteArray hash(const QByteArray &data);
    // Random bytes as URL-safe text.
    static QString randomText(int bytes);

  private:
    mutable QMutex m_mutex;
    struct Secret {
        QByteArray hash;
        QDateTime until;
    };
    QList<Secret> m_secrets;
    QHash<QString, QList<QDateTime>> m_attempts; // by address
    QList<QDateTime> m_allAttempts;
    QList<Phone> m_phones;
};

} // namespace pantrio
