#pragma once
#include <QByteArray>
#include <QString>

// The help file as About shows it: each comma-separated field on a line of its
// own, quotes around a field removed, every field followed by CR LF.
QString HelpText(const QByteArray &file);
