#include "cellvalue.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace {

class Scanner {
public:
    explicit Scanner(QStringView text) : m_text(text) {}
    // The next significant character, or 0 at the end.
    QChar peek()
    {
        while (m_pos < m_text.size() && isBlank(m_text[m_pos]))
            ++m_pos;
        return m_pos < m_text.size() ? m_text[m_pos] : QChar();
    }
    void take() { ++m_pos; }

private:
    static bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n'; }
    QStringView m_text;
    qsizetype m_pos = 0;
};

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

int digitValue(QChar c, int radix)
{
    int v = -1;
    if (isDigit(c))
        v = c.unicode() - u'0';
    else if (c >= u'a' && c <= u'f')
        v = c.unicode() - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        v = c.unicode() - u'A' + 10;
    return v >= 0 && v < radix ? v : -1;
}

double saturate(double v) { return std::isinf(v) ? std::copysign(DBL_MAX, v) : v; }

double radixInteger(Scanner &s, int radix)
{
    double value = 0;
    for (int d; (d = digitValue(s.peek(), radix)) >= 0; s.take())
        value = value * radix + d;
    return saturate(value);
}

} // namespace

double CellValue(QStringView text)
{
    Scanner s(text);
    if (s.peek() == u'&') {
        s.take();
        const QChar kind = s.peek().toUpper();
        if (kind == u'H' || kind == u'O') {
            s.take();
            return radixInteger(s, kind == u'H' ? 16 : 8);
        }
        return 0;
    }

    std::string number;
    if (s.peek() == u'+' || s.peek() == u'-') {
        number += char(s.peek().unicode());
        s.take();
    }
    bool digits = false, point = false;
    for (QChar c; (c = s.peek()) != QChar(); s.take()) {
        if (isDigit(c)) {
            digits = true;
            number += char(c.unicode());
        } else if (c == u'.' && !point) {
            point = true;
            number += '.';
        } else {
            break;
        }
    }
    if (!digits)
        return 0;

    const QChar e = s.peek().toUpper();
    if (e == u'E' || e == u'D') {
        s.take();
        std::string exponent = "e";
        if (s.peek() == u'+' || s.peek() == u'-') {
            exponent += char(s.peek().unicode());
            s.take();
        }
        // Leading zeros add nothing, and six digits already saturate either way.
        std::string significant;
        bool expDigits = false;
        for (; isDigit(s.peek()); s.take()) {
            expDigits = true;
            const char d = char(s.peek().unicode());
            if ((significant.empty() && d == '0') || significant.size() >= 6)
                continue;
            significant += d;
        }
        if (expDigits)
            number += exponent + (significant.empty() ? std::string("0") : significant);
    }
    // The decimal point is always '.', whatever the user's locale says.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return saturate(strtod_l(number.c_str(), nullptr, cLocale));
}

QString CellText(double value)
{
    if (value == 0)
        return QStringLiteral("0"); // negative zero too
    if (std::isnan(value))
        return QStringLiteral("0");
    // An infinity (a .dat file can hold one) shows as the largest number a
    // cell holds, the value CellValue gives it back as: shown as "inf" it
    // would read, and be saved, as 0.
    if (std::isinf(value))
        value = std::copysign(DBL_MAX, value);
    // Qt already writes two exponent digits at least, as in 1e+15 and 1e-05.
    return QString::number(value, 'g', 15).replace(u'e', u'E');
}
