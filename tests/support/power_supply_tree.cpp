#include "support/power_supply_tree.h"

#include <QDir>
#include <QFile>

namespace power_supply_tree {

QString Build(const QString& root, const QStringList& supplies)
{
    QDir rootDir(root);
    rootDir.mkpath(QStringLiteral("power_supply"));
    for (const QString& supply : supplies) {
        const QString name = supply.section(QStringLiteral(": "), 0, 0);
        const QString device = QStringLiteral("devices/") + name;
        rootDir.mkpath(device);
        for (const QString& assignment : supply.section(QStringLiteral(": "), 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            QFile file(rootDir.filePath(device + QLatin1Char('/') + assignment.section(QLatin1Char('='), 0, 0).trimmed()));
            if (!file.open(QIODevice::WriteOnly) || file.write(assignment.section(QLatin1Char('='), 1).toUtf8() + '\n') < 0)
                qFatal("cannot write %s", qPrintable(file.fileName()));
        }
        QFile::link(QStringLiteral("../") + device, rootDir.filePath(QStringLiteral("power_supply/") + name));
    }
    return rootDir.filePath(QStringLiteral("power_supply"));
}

}  // namespace power_supply_tree
