// pantrio-mkdb [--empty] PATH: writes a new Vendora.mdb at PATH with the
// starter catalogue (or only the tables), unless a file is already there.
#include "data/access/Schema.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool empty = args.removeAll(QStringLiteral("--empty")) > 0;
    QTextStream err(stderr), out(stdout);
    if (args.size() != 1) {
        err << "usage: pantrio-mkdb [--empty] PATH\n";
        return 2;
    }
    const QString path = args.first();
    if (QFileInfo::exists(path)) {
        out << path << " exists; left as it is.\n";
        return 0;
    }
    QString error;
    if (!pantrio::Schema::createDatabase(path, !empty, &error)) {
        err << "cannot create " << path << ": " << error << "\n";
        return 1;
    }
    out << "created " << path << "\n";
    return 0;
}
