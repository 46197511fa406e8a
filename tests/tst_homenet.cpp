// Sharing on a real home network: run by homenet_check.sh inside a network
// namespace whose one interface has a private address and one outside the
// private ranges. The share window must choose the private one and put it in
// its code; a phone in the other namespace joins and ticks through it, and a
// peer from outside the private ranges is refused.
#include "app/Module1.h"
#include "forms/main/frmVendora.h"
#include "forms/phone/frmShare.h"
#include "network/ShareService.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QLabel>
#include <QProcess>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

class TstHomeNet : public Fixture
{
    Q_OBJECT

    void beforeEach() override
    {
        QVERIFY(m_dir->exec("INSERT INTO Selected (Item, Category, Aisle, Quantity) VALUES "
                            "('Tea', 'Drinks', 'Aisle 2', '1')"));
    }

  private slots:
    void aPhoneJoinsOverTheHomeNetwork()
    {
        const QString phoneNs = qEnvironmentVariable("PANTRIO_PHONE_NETNS");
        if (phoneNs.isEmpty())
            QSKIP("run by homenet_check.sh inside its network namespaces");
        frmVendora *f = start();
        QVERIFY(f);
        f->findChild<QAction *>("mnuShare")->trigger();
        frmShare *w = Module1::frmShareIfOpen();
        QVERIFY(w && w->service() && w->service()->isRunning());
        QCOMPARE(w->service()->address(), QHostAddress("192.168.231.1"));
        const QString address = w->findChild<QLabel *>("picShareCode")->accessibleDescription();
        QVERIFY2(address.startsWith("http://192.168.231.1:"), qPrintable(address));
        QVERIFY(w->findChild<QLabel *>("lblShareAddress")->text().contains("http://192.168.231.1:"));

        m_dialogs->answers.push_back(Dialogs::Answer::Yes);
        QProcess phone;
        phone.setProcessChannelMode(QProcess::MergedChannels);
        phone.start("ip", {"netns", "exec", phoneNs, "python3",
                           PANTRIO_SOURCE_DIR "/tests/homenet_phone.py", address});
        // The desktop answers meanwhile: the wait runs its event loop.
        QTRY_VERIFY_WITH_TIMEOUT(phone.state() == QProcess::NotRunning, 60000);
        const QByteArray said = phone.readAll();
        QVERIFY2(phone.exitCode() == 0, said.constData());
        qInfo("%s", said.trimmed().constData());
        QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM ShareTicks WHERE Taken = 0").toInt(), 1);
        QCOMPARE(w->service()->devices().size(), 1);
    }
};

QTEST_MAIN(TstHomeNet)
#include "tst_homenet.moc"
