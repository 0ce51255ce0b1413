// SPDX-License-Identifier: GPL-3.0-or-later
#include "powerhelper/charge_settings.h"

#include <QRegularExpression>

namespace powerhelper {

QStringList OfferedChoices(const QString& content) {
    QStringList words = content.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    for (QString& word : words) {
        if (word.size() > 2 && word.startsWith(u'[') && word.endsWith(u']'))
            word = word.mid(1, word.size() - 2);
    }
    return words;
}

QString SelectedChoice(const QString& content) {
    const QStringList words = content.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    for (const QString& word : words) {
        if (word.size() > 2 && word.startsWith(u'[') && word.endsWith(u']'))
            return word.mid(1, word.size() - 2);
    }
    return words.size() == 1 ? words.first() : QString();
}

std::optional<int> ParsePercent(const QString& content) {
    bool ok = false;
    const int value = content.trimmed().toInt(&ok);
    if (!ok || value < 0 || value > 100)
        return std::nullopt;
    return value;
}

std::vector<ThresholdWrite> OrderThresholdWrites(const Thresholds& current, const Thresholds& target) {
    std::vector<ThresholdWrite> writes;
    const bool writeStart = target.start && target.start != current.start;
    const bool writeEnd = target.end && target.end != current.end;
    const ThresholdWrite start{ThresholdWrite::Which::Start, target.start.value_or(0)};
    const ThresholdWrite end{ThresholdWrite::Which::End, target.end.value_or(0)};
    // The end may go first when the start in place stays below it.
    const bool endFirst = !writeStart || !current.start || (writeEnd && *target.end > *current.start);
    if (endFirst) {
        if (writeEnd)
            writes.push_back(end);
        if (writeStart)
            writes.push_back(start);
    } else {
        writes.push_back(start);
        if (writeEnd)
            writes.push_back(end);
    }
    return writes;
}

}  // namespace powerhelper
