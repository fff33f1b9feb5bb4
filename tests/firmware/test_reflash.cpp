// The Reflash entry: the key, the response, the prompt and the window it opens.
#include "frmbootloader.h"
#include "reflashaccess.h"
#include "rig.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

namespace {
// Answers the prompt as service staff would, from the key it shows.
void answerWith(Rig &rig, std::function<QString(qint32 key)> answer)
{
    rig.dialogs.onShow = [&rig, answer](const ShownBox &box) {
        const auto m = QRegularExpression(QStringLiteral("^Enter password for key of ([1-9][0-9]*)$")).match(box.text);
        QVERIFY2(m.hasMatch() && m.captured(1).toInt() <= ReflashAccess::MaxKey, qPrintable(box.text));
        rig.dialogs.inputAnswers.enqueue(answer(m.captured(1).toInt()));
    };
}

QString response(qint32 key) { return QString::number(ReflashAccess::Response(key)); }
} // namespace

class TestReflash : public QObject {
    Q_OBJECT
private slots:
    void everyKeyHasItsOwnResponseInRange()
    {
        qint32 previous = 0;
        for (qint32 key = ReflashAccess::MinKey; key <= ReflashAccess::MaxKey; ++key) {
            const qint32 r = ReflashAccess::Response(key);
            // Increasing means no wrap-around and no two keys sharing a response.
            QVERIFY2(r > previous, qPrintable(QString::number(key)));
            QVERIFY(r != ReflashAccess::EnteredValue(ReflashAccess::DefaultEntry()));
            previous = r;
        }
    }

    void entryReadsAsARoundedNumber_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("value"); // -1: beyond 32 bits, never a match
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("leading number only") << "12ab" << 12;
        QTest::newRow("halves round to even") << "2.5" << 2;
        QTest::newRow("too long") << "99999999999" << -1;
    }
    void entryReadsAsARoundedNumber()
    {
        QFETCH(QString, entry);
        QTEST(ReflashAccess::EnteredValue(entry).value_or(-1), "value");
    }

    void promptShowsTheKeyAndOnlyItsResponseOpens()
    {
        Rig rig;
        answerWith(rig, [](qint32 key) { return response(key + 1 > ReflashAccess::MaxKey ? key - 1 : key + 1); });
        rig.window->mnuReflash_Click();
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown[0].kind, QStringLiteral("InputBox"));
        QCOMPARE(rig.dialogs.shown[0].title, QStringLiteral("Marlow VGT Tuner"));
        QCOMPARE(rig.dialogs.shown[0].defaultText, ReflashAccess::DefaultEntry());
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9]{6}$")).match(rig.dialogs.shown[0].defaultText).hasMatch());
        QVERIFY(rig.window->findChildren<frmBootloader *>().isEmpty());

        answerWith(rig, [](qint32) { return QString(); }); // cancelled
        rig.window->mnuReflash_Click();
        QVERIFY(rig.window->findChildren<frmBootloader *>().isEmpty());
        QCOMPARE(rig.dialogs.shown.size(), 2); // no message, no second prompt
        QVERIFY(rig.journal.entries().isEmpty());

        // Opens without a module; the same window comes forward again, its fields as they were.
        answerWith(rig, response);
        rig.window->mnuReflash_Click();
        auto *first = rig.window->findChild<frmBootloader *>();
        QVERIFY(first && first->isVisible());
        first->txtblend->setText(QStringLiteral("7FFF"));
        rig.window->mnuReflash_Click();
        QCOMPARE(rig.window->findChildren<frmBootloader *>(), QList<frmBootloader *>{first});
        QCOMPARE(first->txtblend->text(), QStringLiteral("7FFF"));
    }
};

QTEST_MAIN(TestReflash)
#include "test_reflash.moc"
