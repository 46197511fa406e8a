// pantrio-crashdriver DIR JOURNAL SEED: works the real windows on DIR's
// database without end — adds ticked items, edits quantities, saves editor
// items, stores appearance choices — and appends to JOURNAL what each step
// has stored, once it has returned. tst_crash kills it at random moments.
#include "app/Module1.h"
#include "data/access/DataControl.h"
#include "data/access/RecordSet.h"
#include "forms/editor/frmAdding.h"
#include "forms/main/CatalogueView.h"
#include "forms/main/frmVendora.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTableView>

#include <unistd.h>

using namespace pantrio;

namespace
{
QFile g_journal;
void journal(const QString &line)
{
    g_journal.write((line + QLatin1Char('\n')).toUtf8());
    g_journal.flush(); // in the kernel's hands: survives the kill of this process
}
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 4)
        return 2;
    test::initApplication();
    auto *dialogs = test::ScriptedDialogs::install();
    Module1::setProgramDirectory(QString::fromLocal8Bit(argv[1]));
    g_journal.setFileName(QString::fromLocal8Bit(argv[2]));
    if (!g_journal.open(QIODevice::Append))
        return 2;
    QRandomGenerator rng(quint32(atoi(argv[3])));
    qint64 seq = qint64(atoi(argv[3])) * 100000;
    if (!Module1::Main())
        return 3;
    journal(QStringLiteral("ready"));
    for (;;) {
        frmVendora *f = Module1::frmVendoraIfLoaded();
        const int op = int(rng.bounded(4));
        if (op == 0) {
            auto *model = f->findChild<CatalogueView *>(QStringLiteral("lvwItems"))->catalogue();
            RecordSet *list = f->adoList()->recordset();
            const int before = list->recordCount();
            const int n = std::min(model->count(), 1000);
            for (int r = 0; r < 1000; ++r)
                model->setChecked(r % model->count(), true);
            f->cmdAddToList_Click();
            const qlonglong first = list->valueAt(before, QStringLiteral("ID")).toLongLong();
            const qlonglong last =
                list->valueAt(list->recordCount() - 1, QStringLiteral("ID")).toLongLong();
            if (list->recordCount() - before == n)
                journal(QStringLiteral("lines %1 %2").arg(first).arg(last));
        } else if (op == 1) {
            auto *grid = f->findChild<QTableView *>(QStringLiteral("grdList"));
            for (int k = 0; k < 20 && grid->model()->rowCount() > 0; ++k) {
                const int row = int(rng.bounded(grid->model()->rowCount()));
                const QModelIndex q = grid->model()->index(row, 3);
                grid->setCurrentIndex(q);
                const QString value = QStringLiteral("q%1").arg(++seq);
                grid->model()->setData(q, value);
                journal(QStringLiteral("qty %1 %2")
                            .arg(grid->model()->index(row, 4).data().toLongLong())
                            .arg(seq));
            }
        } else if (op == 2) {
            f->mnuAdd_Click();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            frmAdding *e = Module1::frmAddingIfLoaded();
            if (!e)
                continue;
            for (int k = 0; k < 5; ++k) {
                e->cmdAdd_Click();
                const QString name = QStringLiteral("crash item %1").arg(++seq);
                e->txtFields(3)->setText(name);
                emit e->txtFields(3)->textEdited(name);
                e->cmdUpdate_Click();
                journal(QStringLiteral("item %1").arg(e->txtFields(2)->text()));
            }
            e->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        } else {
            dialogs->colors.push_back(QColor::fromRgb(QRgb(quint32(++seq) & 0xFFFFFF)));
            f->DialogShowing(2);
            journal(QStringLiteral("back %1").arg(seq));
        }
        if (rng.bounded(3) == 0) {
            // Now and then the list is emptied, so it does not grow without end.
            f = Module1::frmVendoraIfLoaded(); // the editor's closing loaded a new one
            dialogs->answers.push_back(Dialogs::Answer::Yes);
            // Said before it starts: a kill inside it may empty the list
            // without "cleared" ever being written.
            journal(QStringLiteral("clearing"));
            f->cmdClearAll_Click();
            journal(QStringLiteral("cleared"));
        }
    }
}
