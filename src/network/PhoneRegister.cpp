#include "network/PhoneRegister.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace pantrio
{

namespace
{
bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (qsizetype i = 0; i < a.size() && i < b.size(); ++i)
        diff |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return diff == 0;
}
} // namespace

QByteArray PhoneRegister::hash(const QByteArray &data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256);
}

QString PhoneRegister::randomText(int bytes)
{
    // Whole words from the generator, as many as cover every byte asked for.
    QList<quint32> words((bytes + 3) / 4);
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    const QByteArray raw(reinterpret_cast<const char *>(words.constData()), bytes);
    return QString::fromLatin1(
        raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString PhoneRegister::newSecret(int seconds)
{
    const QString secret = randomText(16);
    QMutexLocker lock(&m_mutex);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    m_secrets.removeIf([&](const Secret &s) { return s.until < now; });
    m_secrets.append({hash(secret.toLatin1()), now.addSecs(seconds)});
    return secret;
}

void PhoneRegister::clearSecrets()
{
    QMutexLocker lock(&m_mutex);
    m_secrets.clear();
    m_attempts.clear();
    m_allAttempts.clear();
}

PhoneRegister::Attempt PhoneRegister::countAttempt(const QString &address)
{
    QMutexLocker lock(&m_mutex);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto old = [&](const QDateTime &t) { return t.secsTo(now) >= 60; };
    m_allAttempts.removeIf(old);
    for (auto it = m_attempts.begin(); it != m_attempts.end();) {
        it->removeIf(old);
        it = it->isEmpty() ? m_attempts.erase(it) : std::next(it);
    }
    // A neighbour's tries use up only their own address's share.
    QList<QDateTime> &mine = m_attempts[address];
    if (mine.size() >= joinsPerMinute)
        return Attempt::TooManyFromThere;
    if (m_allAttempts.size() >= joinsPerMinuteInAll)
        return Attempt::TooMany;
    mine.append(now);
    m_allAttempts.append(now);
    return Attempt::Allowed;
}

bool PhoneRegister::useSecret(const QString &secret)
{
    const QByteArray h = hash(secret.toLatin1());
    QMutexLocker lock(&m_mutex);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (qsizetype i = 0; i < m_secrets.size(); ++i) {
        if (sameBytes(m_secrets.at(i).hash, h) && m_secrets.at(i).until >= now) {
            m_secrets.removeAt(i);
            return true;
        }
    }
    return false;
}

void PhoneRegister::setPhones(const QList<Phone> &phones)
{
    QMutexLocker lock(&m_mutex);
    m_phones = phones;
}

void PhoneRegister::add(const Phone &phone)
{
    QMutexLocker lock(&m_mutex);
    m_phones.removeIf([&](const Phone &p) { return p.id == phone.id; });
    m_phones.append(phone);
}

void PhoneRegister::remove(const QString &id)
{
    QMutexLocker lock(&m_mutex);
    m_phones.removeIf([&](const Phone &p) { return p.id == id; });
}

QList<PhoneRegister::Phone> PhoneRegister::phones() const
{
    QMutexLocker lock(&m_mutex);
    return m_phones;
}

bool PhoneRegister::holds(const QString &id) const
{
    QMutexLocker lock(&m_mutex);
    return std::any_of(m_phones.cbegin(), m_phones.cend(),
                       [&](const Phone &p) { return p.id == id; });
}

QString PhoneRegister::phoneOf(const QByteArray &token) const
{
    const QByteArray h = hash(token);
    QString id;
    QMutexLocker lock(&m_mutex);
    for (const Phone &p : std::as_const(m_phones))
        if (sameBytes(p.hash, h) && id.isEmpty())
            id = p.id;
    return id;
}

} // namespace pantrio
