// Replies decoded as one UTF-8 stream across arrivals.
#include "serial/Utf8Stream.h"

#include <QTest>

class TestUtf8Stream : public QObject
{
    Q_OBJECT

private slots:
    void decodes_data();
    void decodes();
    void everySplitPointGivesTheWholeText();
    void resetDropsAnUnfinishedCharacter();
};

void TestUtf8Stream::decodes_data()
{
    QTest::addColumn<QList<QByteArray>>("arrivals");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ASCII in pieces") << QList<QByteArray>{"H", "I", "\n"} << QStringLiteral("HI\n");
    QTest::newRow("e-acute split") << QList<QByteArray>{"caf\xC3", "\xA9!"} << QStringLiteral("café!");
    QTest::newRow("euro split in three") << QList<QByteArray>{"\xE2", "\x82", "\xAC"} << QStringLiteral("€");
    QTest::newRow("emoji split") << QList<QByteArray>{"\xF0\x9F", "\x98\x80"} << QStringLiteral("😀");
    // A lead byte cut short by a byte that cannot continue it: one U+FFFD, the byte kept.
    QTest::newRow("cut short, next arrival") << QList<QByteArray>{"\xC3", "!"} << QStringLiteral("\uFFFD!");
    QTest::newRow("cut short, same arrival") << QList<QByteArray>{"\xC3!"} << QStringLiteral("\uFFFD!");
    QTest::newRow("stray continuation") << QList<QByteArray>{"a\x80", "b"} << QStringLiteral("a\uFFFDb");
    QTest::newRow("invalid byte") << QList<QByteArray>{"\xFF", "ok"} << QStringLiteral("\uFFFDok");
    QTest::newRow("empty arrival") << QList<QByteArray>{"", "x", ""} << QStringLiteral("x");
}

void TestUtf8Stream::decodes()
{
    QFETCH(QList<QByteArray>, arrivals);
    QFETCH(QString, expected);
    Utf8Stream stream;
    QString shown;
    for (const QByteArray &a : arrivals)
        shown += stream.decode(a);
    QCOMPARE(shown, expected);
}

void TestUtf8Stream::everySplitPointGivesTheWholeText()
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

void TestUtf8Stream::resetDropsAnUnfinishedCharacter()
{
    Utf8Stream stream;
    QCOMPARE(stream.decode("ab\xE2\x82"), QStringLiteral("ab"));
    QVERIFY(stream.hasPending());
    stream.reset(); // a new connection starts a new stream
    QCOMPARE(stream.decode("c"), QStringLiteral("c"));
}

QTEST_GUILESS_MAIN(TestUtf8Stream)
#include "tst_utf8stream.moc"
