// Stored fonts and colours: applied at load by name prefix, chosen from the
// Options menus through the scripted dialogs, stored and applied again.
#include "app/Module1.h"
#include "appearance/Appearance.h"
#include "forms/editor/frmAdding.h"
#include "forms/main/frmVendora.h"
#include "support/TestSupport.h"

#include <QFontDialog>
#include <QLabel>
#include <QTimer>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

namespace
{
QColor base(QWidget *w)
{
    return w->palette().color(QPalette::Base);
}
QColor text(QWidget *w)
{
    return w->palette().color(QPalette::Text);
}
} // namespace

class TstAppearance : public Fixture
{
    Q_OBJECT

  private:
    frmVendora *main()
    {
        if (!Module1::frmVendoraIfLoaded())
            Module1::Main();
        return Module1::frmVendoraIfLoaded();
    }
    frmAdding *editor()
    {
        main()->mnuAdd_Click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return Module1::frmAddingIfLoaded();
    }
    void restart() { Module1::shutdown(); }
    template <typename T = QWidget> T *w(QWidget *window, const char *name)
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    void setRow(const QVariantList &values, const QString &table = "Settings")
    {
        QVERIFY(m_dir->exec("DELETE FROM " + table));
        QVERIFY(m_dir->exec("INSERT INTO " + table +
                                " (FontName, FontSize, FontIt, FontBo, BackColor, ForeColor) "
                                "VALUES (?,?,?,?,?,?)",
                            values));
    }

  private slots:
    void colourByteOrder();
    void prefixesAreCaseSensitive();
    void emptyTableKeepsTheDesign();
    void nullFontFieldsUseDefaults();
    void fullRowOnTheMainWindow();
    void fullRowOnTheEditorReversesLabels();
    void onlyTheFirstRowCounts();
    void fontChoiceStoredAndReloaded();
    void cancelChangesNothing();
    void colourChoices();
    void choiceOnEmptyTableIsStored();
    void failedStoreIsReported();
    void editorFontChoiceLeavesMainWindowUnloaded();
    void theRealFontDialogOpensOnTheFaceDrawn();
};

void TstAppearance::colourByteOrder()
{
    QCOMPARE(Appearance::fromStored(255), QColor(255, 0, 0));
    QCOMPARE(Appearance::fromStored(0xFF0000), QColor(0, 0, 255));
    QCOMPARE(Appearance::toStored(QColor(0x12, 0x34, 0x56)), qint64(0x563412));
    QCOMPARE(Appearance::toStored(Appearance::fromStored(0x00C0FFEE)), qint64(0x00C0FFEE));
}

void TstAppearance::prefixesAreCaseSensitive()
{
    QVERIFY(Appearance::nameMatches("lstCat", {"lst"}));
    QVERIFY(!Appearance::nameMatches("LstCat", {"lst"}));
    QVERIFY(!Appearance::nameMatches("mylstCat", {"lst"}));
    QVERIFY(Appearance::nameMatches("DTPicker", {"cmd", "DT"}));
}

void TstAppearance::emptyTableKeepsTheDesign()
{
    QVERIFY(m_dir->exec("DELETE FROM Settings"));
    QVERIFY(m_dir->exec("DELETE FROM Settings2"));
    frmVendora *f = main();
    QVERIFY(f);
    QCOMPARE(w(f, "lstCat")->font().family(), QString("Souvenir Lt BT"));
    QCOMPARE(w(f, "grdList")->font().family(), QString("Tahoma"));
    QCOMPARE(base(w(f, "lstCat")), QApplication::palette().color(QPalette::Base));
    frmAdding *e = editor();
    QCOMPARE(e->txtFields(3)->font().family(), QString("AvantGarde Bk BT"));
    QCOMPARE(e->txtFields(3)->font().pointSizeF(), 14.25);
    QCOMPARE(w(e, "cmdAdd")->font().family(), QString("Tahoma"));
}

void TstAppearance::nullFontFieldsUseDefaults()
{
    setRow({QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
    frmVendora *f = main();
    for (const char *name : {"lstCat", "lstRecent", "lblCount", "grdList", "lvwItems"}) {
        const QFont font = w(f, name)->font();
        QCOMPARE(font.family(), QString("Arial"));
        QCOMPARE(font.pointSizeF(), 10.0);
        QVERIFY(!font.bold() && !font.italic());
    }
    // The main window's buttons keep their design at load.
    QCOMPARE(w(f, "cmdAddToList")->font().family(), QString("Tahoma"));
    QCOMPARE(w(f, "cmdAll")->font().family(), QString("Souvenir Lt BT"));
}

void TstAppearance::fullRowOnTheMainWindow()
{
    setRow({"Tahoma", 9.75, 1, 1, 255, 0xFF0000});
    frmVendora *f = main();
    const QColor red(255, 0, 0), blue(0, 0, 255);
    for (const char *name : {"lstCat", "lstRecent", "grdList", "lvwItems"}) {
        QCOMPARE(base(w(f, name)), red);
        QCOMPARE(text(w(f, name)), blue);
        QCOMPARE(w(f, name)->font().pointSizeF(), 9.75);
        QVERIFY(w(f, name)->font().bold() && w(f, name)->font().italic());
    }
    auto *count = w<QLabel>(f, "lblCount");
    QCOMPARE(count->palette().color(QPalette::Window), red);
    QCOMPARE(count->palette().color(QPalette::WindowText), blue);
    QCOMPARE(f->centralWidget()->palette().color(QPalette::Window), blue);
    QVERIFY(w(f, "cmdAddToList")->palette().color(QPalette::Button) != red);
}

void TstAppearance::fullRowOnTheEditorReversesLabels()
{
    setRow({"Courier", 12, 0, 1, 0x00FF00, 0x800000}, "Settings2");
    frmAdding *e = editor();
    QVERIFY(e);
    const QColor back(0, 255, 0), fore(0, 0, 128);
    for (const char *name : {"lblStatus", "lblSearchBox", "lblCatList"}) {
        auto *l = w<QLabel>(e, name);
        QCOMPARE(l->palette().color(QPalette::Window), fore);
        QCOMPARE(l->palette().color(QPalette::WindowText), back);
        QCOMPARE(l->font().family(), QString("Courier"));
    }
    QCOMPARE(base(e->txtFields(0)), back);
    QCOMPARE(text(e->txtFields(0)), fore);
    auto *add = w(e, "cmdAdd");
    QCOMPARE(add->font().family(), QString("Courier"));
    QCOMPARE(add->palette().color(QPalette::Button), back);
    QVERIFY(add->palette().color(QPalette::ButtonText) != fore); // never a text colour
    QCOMPARE(e->centralWidget()->palette().color(QPalette::Window), fore);
}

void TstAppearance::onlyTheFirstRowCounts()
{
    setRow({"Courier", 11, 0, 0, QVariant(), QVariant()});
    QVERIFY(m_dir->exec("INSERT INTO Settings (FontName, FontSize) VALUES ('Tahoma', 20)"));
    QCOMPARE(w(main(), "lstCat")->font().family(), QString("Courier"));
    // Text where numbers belong is read as the defaults, not a crash.
    restart();
    setRow({"Courier", "big", "yes?", 0, "red", "blue"});
    QCOMPARE(w(main(), "lstCat")->font().pointSizeF(), 10.0);
}

void TstAppearance::fontChoiceStoredAndReloaded()
{
    frmVendora *f = main();
    QFont chosen("Courier");
    chosen.setPointSizeF(9.75);
    chosen.setBold(true);
    m_dialogs->fonts.push_back(chosen);
    f->DialogShowing(1);
    // The dialog shows the face really drawn for the designed one.
    QCOMPARE(m_dialogs->lastFontPreset.family().section(" [", 0, 0), QString("URW Bookman"));
    QCOMPARE(QFontInfo(m_dialogs->lastFontPreset).family().section(" [", 0, 0),
             QString("URW Bookman"));
    QCOMPARE(m_dialogs->lastFontPreset.pointSizeF(), 9.75);
    QVERIFY(m_dialogs->lastFontPreset.italic());
    QCOMPARE(w(f, "cmdAddToList")->font().family(), QString("Courier")); // buttons too, now
    QCOMPARE(w(f, "lstCat")->font().family(), QString("Courier"));
    QCOMPARE(f->font().family(), QString("Souvenir Lt BT")); // the window's own font stays
    const auto row = m_dir->rows("SELECT FontName, FontSize, FontIt, FontBo FROM Settings");
    QCOMPARE(row.size(), 1);
    QCOMPARE(row.first(), QVariantList({"Courier", 9.75, 0, 1}));
    restart();
    f = main();
    QCOMPARE(w(f, "lstCat")->font().family(), QString("Courier"));
    QCOMPARE(w(f, "lstCat")->font().pointSizeF(), 9.75);
    QCOMPARE(w(f, "cmdAddToList")->font().family(), QString("Tahoma"));
}

void TstAppearance::cancelChangesNothing()
{
    frmVendora *f = main();
    const auto before = m_dir->rows("SELECT * FROM Settings");
    const QFont font = w(f, "lstCat")->font();
    const QPalette pal = w(f, "lstCat")->palette();
    m_dialogs->fonts.push_back(std::nullopt);
    m_dialogs->colors.push_back(std::nullopt);
    m_dialogs->colors.push_back(std::nullopt);
    f->DialogShowing(1);
    f->DialogShowing(2);
    f->DialogShowing(4);
    QCOMPARE(w(f, "lstCat")->font(), font);
    QCOMPARE(w(f, "lstCat")->palette(), pal);
    QCOMPARE(m_dir->rows("SELECT * FROM Settings"), before);
    QVERIFY(m_dialogs->messages.isEmpty());
}

void TstAppearance::colourChoices()
{
    frmVendora *f = main();
    m_dialogs->colors.push_back(QColor(255, 0, 0));
    f->DialogShowing(2);
    QCOMPARE(m_dialogs->colorTitles.last(), QString("BackColor"));
    QCOMPARE(m_dir->scalar("SELECT BackColor FROM Settings").toLongLong(), 255);
    QCOMPARE(base(w(f, "lstCat")), QColor(255, 0, 0));
    QCOMPARE(w(f, "cmdAll")->palette().color(QPalette::Button), QColor(255, 0, 0));
    m_dialogs->colors.push_back(QColor(0, 128, 0));
    f->DialogShowing(4);
    QCOMPARE(m_dialogs->colorTitles.last(), QString("ForeColor"));
    QCOMPARE(m_dir->scalar("SELECT ForeColor FROM Settings").toLongLong(), 0x008000);
    QCOMPARE(f->centralWidget()->palette().color(QPalette::Window), QColor(0, 128, 0));
    QCOMPARE(text(w(f, "grdList")), QColor(0, 128, 0));

    frmAdding *e = editor();
    m_dialogs->colors.push_back(QColor(0, 0, 255));
    e->DialogShowing(2);
    QCOMPARE(w<QLabel>(e, "lblCatList")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QCOMPARE(base(e->txtFields(3)), QColor(0, 0, 255));
    m_dialogs->colors.push_back(QColor(10, 20, 30));
    e->DialogShowing(4);
    QCOMPARE(w<QLabel>(e, "lblCatList")->palette().color(QPalette::Window), QColor(10, 20, 30));
    QCOMPARE(m_dir->scalar("SELECT ForeColor FROM Settings2").toLongLong(), 0x1E140A);
}

void TstAppearance::choiceOnEmptyTableIsStored()
{
    QVERIFY(m_dir->exec("DELETE FROM Settings"));
    frmVendora *f = main();
    m_dialogs->colors.push_back(QColor(1, 2, 3));
    f->DialogShowing(4);
    QCOMPARE(m_dir->scalar("SELECT COUNT(*) FROM Settings").toInt(), 1);
    QCOMPARE(m_dir->scalar("SELECT ForeColor FROM Settings").toLongLong(), 0x030201);
    restart();
    QCOMPARE(main()->centralWidget()->palette().color(QPalette::Window), QColor(1, 2, 3));
}

void TstAppearance::failedStoreIsReported()
{
    QVERIFY(m_dir->exec("CREATE TRIGGER ro BEFORE UPDATE ON Settings BEGIN "
                        "SELECT RAISE(ABORT, 'attempt to write a readonly database'); END"));
    frmVendora *f = main();
    m_dialogs->colors.push_back(QColor(9, 9, 9));
    f->DialogShowing(2);
    QCOMPARE(m_dialogs->messages.size(), 1);
    QVERIFY(m_dialogs->messages.first().contains("readonly"));
    // Still usable: a later choice is tried again, and the table is unchanged.
    QCOMPARE(m_dir->scalar("SELECT BackColor FROM Settings").toLongLong(), 16777215);
    QVERIFY(f->isVisible());
}

void TstAppearance::editorFontChoiceLeavesMainWindowUnloaded()
{
    frmAdding *e = editor();
    QVERIFY(!Module1::frmVendoraIfLoaded());
    m_dialogs->fonts.push_back(QFont("Courier"));
    e->DialogShowing(1);
    QCOMPARE(m_dialogs->lastFontPreset.family().section(" [", 0, 0), QString("URW Bookman"));
    QVERIFY(!Module1::frmVendoraIfLoaded());
    QCOMPARE(m_dir->scalar("SELECT FontName FROM Settings2").toString(), QString("Courier"));
}

void TstAppearance::theRealFontDialogOpensOnTheFaceDrawn()
{
    // The desktop's own font dialog, on whatever platform the test runs (the
    // test command runs this on xcb under Xvfb too): it opens on the face the
    // window is drawn in, and OK without a change stores that face.
    frmVendora *f = start();
    QVERIFY(f);
    Dialogs::setInstance(nullptr);
    QFont shown;
    QTimer look;
    look.setInterval(20);
    int tries = 0;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (++tries > 500)
            look.stop();
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *d = qobject_cast<QFontDialog *>(w); d && d->isVisible()) {
                look.stop();
                shown = d->currentFont();
                d->accept();
            }
        }
    });
    look.start();
    f->findChild<QAction *>("mnuFont")->trigger();
    m_dialogs = ScriptedDialogs::install();
    QCOMPARE(shown.family().section(" [", 0, 0), QString("URW Bookman"));
    QVERIFY(shown.italic());
    QVERIFY2(qAbs(shown.pointSizeF() - 9.75) < 0.3, qPrintable(QString::number(shown.pointSizeF())));
    // Stored as the face the window was designed in, at its own size.
    QCOMPARE(m_dir->scalar("SELECT FontName FROM Settings").toString(),
             frmVendora::designedFont().family());
    QCOMPARE(m_dir->scalar("SELECT FontSize FROM Settings").toDouble(), 9.75);
    QCOMPARE(m_dir->scalar("SELECT FontIt FROM Settings").toInt(), 1);
    // And the window looks as it did.
    QCOMPARE(QFontInfo(f->findChild<QWidget *>("lstCat")->font()).family(),
             QFontInfo(frmVendora::designedFont()).family());
}

QTEST_MAIN(TstAppearance)
#include "tst_appearance.moc"
