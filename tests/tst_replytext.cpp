// What the console makes of replies: one UTF-8 stream across arrivals, and long lines broken
// for display.
#include "serial/ConsoleLines.h"
#include "serial/Utf8Stream.h"

#include <QTest>

class TestReplyText : public QObject
{
    Q_OBJECT

private slots:
    void decodes_data();
    void decodes();
    void everySplitPointGivesTheWholeText();
    void longLinesBreakForDisplay_data();
    void longLinesBreakForDisplay();
};

void TestReplyText::decodes_data()
{
    QTest::addColumn<QList<QByteArray>>("arrivals");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ASCII in pieces") << QList<QByteArray>{"H", "I", "\n"} << QStringLiteral("HI\n");
    QTest::newRow("euro split in three") << QList<QByteArray>{"\xE2", "\x82", "\xAC"} << QStringLiteral("€");
    // A lead byte cut short by a byte that cannot continue it: one U+FFFD, the byte kept.
    QTest::newRow("cut short, next arrival") << QList<QByteArray>{"\xC3", "!"} << QStringLiteral("\uFFFD!");
    QTest::newRow("stray continuation") << QList<QByteArray>{"a\x80", "b"} << QStringLiteral("a\uFFFDb");
    QTest::newRow("invalid byte") << QList<QByteArray>{"\xFF", "ok"} << QStringLiteral("\uFFFDok");
}

void TestReplyText::decodes()
{
    QFETCH(QList<QByteArray>, arrivals);
    QFETCH(QString, expected);
    Utf8Stream stream;
    QString shown;
    for (const QByteArray &a : arrivals)
        shown += stream.decode(a);
    QCOMPARE(shown, expected);
    stream.decode("ab\xE2\x82");
    stream.reset(); // a new connection starts a new stream
    QCOMPARE(stream.decode("c"), QStringLiteral("c"));
}

void TestReplyText::everySplitPointGivesTheWholeText()
{
    const QByteArray reply = "ZPC3x v1.22 \xC2\xB0\xE2\x82\xAC\xF0\x9F\x98\x80 \xC3 x\xE2\x82 y\xFF\n";
    const QString whole = QString::fromUtf8(reply);
    for (qsizetype a = 0; a <= reply.size(); ++a) {
        for (qsizetype b = a; b <= reply.size(); ++b) {
            Utf8Stream stream;
            QString shown = stream.decode(reply.left(a));
            shown += stream.decode(reply.mid(a, b - a));
            shown += stream.decode(reply.mid(b));
            QCOMPARE(shown, whole);
        }
    }
}

void TestReplyText::longLinesBreakForDisplay_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lineSoFar");
    QTest::addColumn<QString>("shown");
    QTest::newRow("short") << "abc\ndef" << 0 << "abc\ndef";
    QTest::newRow("exactly full") << "abcd" << 0 << "abcd";
    QTest::newRow("continues a line") << "cde" << 2 << "cd\ne";
    QTest::newRow("long run") << "abcdefghij" << 0 << "abcd\nefgh\nij";
    QTest::newRow("breaks reset") << "ab\ncdefg" << 3 << "a\nb\ncdef\ng";
}

void TestReplyText::longLinesBreakForDisplay()
{
    QFETCH(QString, text);
    QFETCH(int, lineSoFar);
    QFETCH(QString, shown);
    QCOMPARE(console::breakLongLines(text, lineSoFar, 4), shown);
}

QTEST_GUILESS_MAIN(TestReplyText)
#include "tst_replytext.moc"
