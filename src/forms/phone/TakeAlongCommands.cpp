#include "forms/phone/TakeAlongCommands.h"
#include "uibase/TopLevelWindows.h"

#include "data/access/DataControl.h"
#include "data/text/Plural.h"
#include "data/access/RecordSet.h"
#include "data/safety/SafeFile.h"
#include "data/formats/TakeAlong.h"
#include "forms/phone/frmQrCode.h"
#include "uibase/Dialogs.h"
#include "uibase/QrCode.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QPointer>
#include <QScreen>

namespace pantrio::TakeAlongCommands
{

namespace
{

QPointer<frmQrCode> g_qr;

// A code denser than this is hard to read from a screen with a phone camera.
constexpr int kMaxVersion = 25;

// The list as it will be printed, with a quantity still being typed stored
// first; nothing (and said why) when there is nothing to take along.
bool prepare(QWidget *parent, DataControl *list, DEVendora &de, TakeAlong::List *out)
{
    QString error;
    RecordSet *rs = list->recordset();
    if ((rs->hasCurrent() && !rs->update(&error)) || !rs->updateBatch(&error) ||
        !list->refresh(&error) || (rs->recordCount() > 0 && !TakeAlong::build(de, out, &error))) {
        Dialogs::notify(parent, error);
        return false;
    }
    if (rs->recordCount() == 0 || out->lineCount() == 0) {
        Dialogs::notify(parent, QStringLiteral("There is nothing on the shopping list to take "
                                               "along."));
        return false;
    }
    return true;
}

} // namespace

void exportForPhone(QWidget *parent, DataControl *list, DEVendora &de)
{
    TakeAlong::List items;
    if (!prepare(parent, list, de, &items))
        return;
    const QDateTime now = QDateTime::currentDateTime();
    const QString path = Dialogs::saveFile(
        parent, QStringLiteral("Export List for Phone"),
        QStringLiteral("Shopping List %1.html").arg(now.toString(QStringLiteral("yyyy-MM-dd"))),
        QStringLiteral("Web pages (*.html *.htm)"));
    if (path.isEmpty())
        return;
    QString error;
    if (!SafeFile::write(path, TakeAlong::phonePage(items, now, TakeAlong::newStorageKey(now)),
                         &error)) {
        Dialogs::notify(parent, error);
        return;
    }
    Dialogs::notify(parent,
                    plural(QT_TRANSLATE_N_NOOP("Pantrio",
                                               "The list, %n line(s), is in %1.\n\nSend the file "
                                               "to your phone or copy it there, and open it in "
                                               "the phone's browser: it needs no network, and "
                                               "keeps your ticks."),
                           items.lineCount())
                        .arg(QDir::toNativeSeparators(path)));
}

void showQrCode(QWidget *parent, DataControl *list, DEVendora &de)
{
    TakeAlong::List items;
    if (!prepare(parent, list, de, &items))
        return;
    const QString text = TakeAlong::plainText(items);
    const QByteArray utf8 = text.toUtf8();
    const std::optional<QrCode::Code> code = QrCode::encode(utf8, kMaxVersion);
    if (!code) {
        // Never a part of the list in a code: the page holds all of it.
        const QPointer<QWidget> alive(parent);
        if (Dialogs::askYesNo(parent,
                              plural(QT_TRANSLATE_N_NOOP("Pantrio",
                                                         "The list, %n line(s) (%1 bytes), is too "
                                                         "long for one QR code a phone can read "
                                                         "from the screen.\n\nExport the list as "
                                                         "a page for the phone instead?"),
                                     items.lineCount())
                                  .arg(utf8.size())) &&
            alive)
            exportForPhone(parent, list, de);
        return;
    }
    // Modules as large as the screen allows, four pixels at the least.
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const int room =
        screen ? std::min(screen->availableSize().width(), screen->availableSize().height()) - 160
               : 600;
    const int module = std::clamp(room / (code->size + 8), 4, 12);
    if (!g_qr) {
        g_qr = new frmQrCode;
        TopLevelWindows::adopt(g_qr);
        g_qr->setAttribute(Qt::WA_DeleteOnClose);
    }
    g_qr->setCode(QrCode::image(*code, module), text, items.lineCount());
    g_qr->show();
    g_qr->raise();
    g_qr->activateWindow();
}

void copyAsText(QWidget *parent, DataControl *list, DEVendora &de)
{
    TakeAlong::List items;
    if (!prepare(parent, list, de, &items))
        return;
    QApplication::clipboard()->setText(TakeAlong::plainText(items));
    Dialogs::notify(parent,
                    plural(QT_TRANSLATE_N_NOOP("Pantrio", "The list, %n line(s), is on the clipboard."),
                           items.lineCount()));
}

frmQrCode *qrWindow()
{
    return g_qr;
}

} // namespace pantrio::TakeAlongCommands
