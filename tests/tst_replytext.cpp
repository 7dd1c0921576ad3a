// What the console makes of replies: one UTF-8 stream across arrivals, and long lines broken
// for display; and what an answer means, as both programs show it.
#include "TestSupport.h"

#include "commands/Protocol.h"
#include "serial/ConsoleLines.h"
#include "serial/Utf8Stream.h"

class TestReplyText : public QObject
{
    Q_OBJECT

private slots:
    void everySplitPointGivesTheWholeText()
    {
        // Characters of two, three and four bytes, a lead byte cut short, a stray continuation
        // byte and an invalid one, cut into three arrivals at every pair of points.
        const QByteArray reply = "ZPC3x v1.22 \xC2\xB0\xE2\x82\xAC\xF0\x9F\x98\x80 \xC3 x\xE2\x82 y\x80\xFF\n";
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
        Utf8Stream stream;
        stream.decode("ab\xE2\x82");
        stream.reset(); // a new connection starts a new stream
        QCOMPARE(stream.decode("c"), QStringLiteral("c"));
    }
    void longLinesBreakForDisplay_data() { addTableRows(QStringLiteral("replytext-breaks.txt")); }
    void longLinesBreakForDisplay()
    {
        QFETCH(QStringList, row);
        const auto lines = [](QString text) { return text.replace(QLatin1Char('/'), QLatin1Char('\n')); };
        QCOMPARE(console::breakLongLines(lines(row[1]), row[2].toInt(), 4), lines(row[3]));
    }
    void answersInWords_data() { addTableRows(QStringLiteral("status.txt")); }
    void answersInWords()
    {
        QFETCH(QStringList, row);
        QCOMPARE(proto::describeReply(hex(row[0].toLatin1())), row[1]);
    }
};

QTEST_GUILESS_MAIN(TestReplyText)
#include "tst_replytext.moc"
