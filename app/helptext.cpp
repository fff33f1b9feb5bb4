#include "helptext.h"

#include <QStringList>

QString HelpText(const QByteArray &file)
{
    QString text = QString::fromUtf8(file);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    if (text.isEmpty())
        return {};
    QString out;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        qsizetype i = 0;
        const qsizetype n = line.size();
        do {
            while (i < n && line[i] == u' ')
                ++i;
            QString field;
            if (i < n && line[i] == u'"') {
                // An opening quote without its closing one quotes the rest of the line.
                const qsizetype close = line.indexOf(u'"', i + 1), end = close == -1 ? n : close;
                field = line.mid(i + 1, end - i - 1);
                i = end + 1;
                while (i < n && line[i] != u',')
                    ++i;
            } else {
                const qsizetype comma = line.indexOf(u',', i);
                field = line.mid(i, comma < 0 ? -1 : comma - i).trimmed();
                i = comma < 0 ? n : comma;
            }
            out += field + QLatin1String("\r\n");
        } while (i++ < n);
    }
    return out;
}
