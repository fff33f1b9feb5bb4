#include "ansicodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace Ansi {

namespace {
// Qt knows the set through ICU. A Qt built without ICU falls back to Latin-1,
// which still carries every code both ways and differs only in how 0x80..0x9F
// look.
constexpr char SetName[] = "windows-1252";
constexpr auto Flags = QStringConverter::Flag::Stateless;
} // namespace

QChar Character(std::uint8_t code)
{
    QStringDecoder decoder(SetName, Flags);
    const char byte = char(code);
    const QString text = decoder(QByteArrayView(&byte, 1));
    return decoder.hasError() || text.size() != 1 ? QChar(code) : text.front();
}

std::optional<std::uint8_t> Code(char32_t character)
{
    QStringEncoder encoder(SetName, Flags);
    if (!encoder.isValid())
        return character <= 0xFF ? std::optional<std::uint8_t>(std::uint8_t(character)) : std::nullopt;
    const QByteArray code = encoder(QString::fromUcs4(&character, 1));
    // A character the set lacks comes out as a substitute with the error set;
    // a byte-order mark or half a surrogate pair comes out as nothing at all.
    if (encoder.hasError() || code.size() != 1)
        return std::nullopt;
    return std::uint8_t(code.front());
}

QString Describe(int position, char32_t character)
{
    const QString code = QString::number(uint(character), 16).toUpper().rightJustified(4, QLatin1Char('0'));
    // A character nothing is printed for, a control character above all.
    if (!QChar::isPrint(character))
        return QStringLiteral("character %1 (U+%2)").arg(position).arg(code);
    return QStringLiteral("character %1, \"%2\" (U+%3),").arg(position).arg(QString::fromUcs4(&character, 1), code);
}

} // namespace Ansi
