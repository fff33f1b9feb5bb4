// The Reflash entry: the key, the response, the prompt and the window it opens.
#include "frmbootloader.h"
#include "reflashaccess.h"
#include "rig.h"

#include <QLineEdit>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

namespace {
// Answers the prompt as service staff would, from the key it shows.
void answerWith(Rig &rig, std::function<QString(qint32 key)> answer)
{
    rig.dialogs.onShow = [&rig, answer](const ShownBox &box) {
        if (box.kind != QLatin1String("InputBox"))
            return;
        const auto m = QRegularExpression(QStringLiteral("^Enter password for key of ([1-9][0-9]*)$")).match(box.text);
        QVERIFY2(m.hasMatch(), qPrintable(box.text));
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

    void keysLieBetweenOneAndAHundredThousand()
    {
        for (quint32 seed = 0; seed < 2000; ++seed) {
            QRandomGenerator g(seed);
            const qint32 key = ReflashAccess::DrawKey(g);
            QVERIFY(key >= 1 && key <= 100000);
        }
    }

    void entryReadsAsARoundedNumber_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("fits");
        QTest::addColumn<int>("value");
        QTest::newRow("empty") << "" << true << 0;
        QTest::newRow("leading number only") << "12ab" << true << 12;
        QTest::newRow("blanks skipped") << " 34 5" << true << 345;
        QTest::newRow("halves round to even") << "2.5" << true << 2;
        QTest::newRow("too long") << "99999999999" << false << 0;
    }
    void entryReadsAsARoundedNumber()
    {
        QFETCH(QString, entry);
        QFETCH(bool, fits);
        QFETCH(int, value);
        const auto v = ReflashAccess::EnteredValue(entry);
        QCOMPARE(v.has_value(), fits);
        if (fits)
            QCOMPARE(*v, value);
    }

    void promptShowsTheKeyAndOnlyItsResponseOpens()
    {
        Rig rig;
        answerWith(rig, [](qint32 key) { return response(key + 1 > 100000 ? key - 1 : key + 1); });
        rig.window->mnuReflash_Click();
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown[0].title, QStringLiteral("Marlow VGT Tuner"));
        QCOMPARE(rig.dialogs.shown[0].defaultText, ReflashAccess::DefaultEntry());
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9]{6}$")).match(rig.dialogs.shown[0].defaultText).hasMatch());
        QVERIFY(rig.window->findChildren<frmBootloader *>().isEmpty());

        answerWith(rig, [](qint32) { return QString(); }); // cancelled
        rig.window->mnuReflash_Click();
        QVERIFY(rig.window->findChildren<frmBootloader *>().isEmpty());
        QVERIFY(rig.dialogs.messages().isEmpty());
        QVERIFY(rig.journal.entries().isEmpty());

        answerWith(rig, response);
        rig.window->mnuReflash_Click();
        const auto windows = rig.window->findChildren<frmBootloader *>();
        QCOMPARE(windows.size(), 1);
        QVERIFY(windows[0]->isVisible());
        QCOMPARE(windows[0]->windowTitle(), QStringLiteral("Coldfire Bootloader 2.0"));
    }

    void reflashAgainBringsTheSameWindowForward()
    {
        Rig rig;
        answerWith(rig, response);
        rig.window->mnuReflash_Click();
        frmBootloader *first = rig.window->findChild<frmBootloader *>();
        QVERIFY(first);
        first->txtblend->setText(QStringLiteral("7FFF"));
        rig.window->mnuReflash_Click();
        QCOMPARE(rig.window->findChildren<frmBootloader *>(), QList<frmBootloader *>{first});
        QCOMPARE(first->txtblend->text(), QStringLiteral("7FFF"));
    }

    void windowOpensWithoutAModuleAndSaysSo()
    {
        Rig rig;
        answerWith(rig, response);
        rig.window->mnuReflash_Click();
        auto *w = rig.window->findChild<frmBootloader *>();
        QVERIFY(w);
        w->cmdProgram_Click();
        QCOMPARE(rig.dialogs.messages(), QStringList{"Not connected to module."});
    }
};

QTEST_MAIN(TestReflash)
#include "test_reflash.moc"
