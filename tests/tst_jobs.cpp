// Every job button, pressed through the real form with the port open on a pseudo-terminal,
// against the streams and console texts written out in tests/data/jobs.txt.
#include "SimSupport.h"
#include "WindowSteps.h"

#include "app/MainWindow.h"
#include "commands/Charsets.h"
#include "demos/Jobs.h"
#include "tool/ButtonJobs.h"

class TestJobs : public ConnectedToolTest
{
    Q_OBJECT

private slots:
    void jobs_data() { addJobRows(); }
    void jobs() { pressJobRow(*w, *peer); }
    // Sessions of a few steps: the queries, M23 H69 held down, Apply with every line mode.
    void scripts_data() { addScriptRows(QStringLiteral("script-jobs.txt")); }
    void scripts() { runScriptRow(w, peer); }
    void everyJobButtonHasOneNameOfItsOwn()
    {
        // The command line's names: one for every button of the form that runs a job, none twice,
        // and each a word a shell takes as it is.
        QSet<QString> names;
        static const QRegularExpression word(QStringLiteral("^[a-z0-9]+(-[a-z0-9]+)*$"));
        for (QPushButton *button : w->findChildren<QPushButton *>()) {
            const buttons::ButtonJob *job = buttons::find(button->objectName());
            if (!job)
                continue;
            const QString name = QLatin1String(job->name);
            QVERIFY2(word.match(name).hasMatch(), qPrintable(button->objectName() + QStringLiteral(": ") + name));
            QVERIFY2(!names.contains(name), qPrintable(name));
            names.insert(name);
            QCOMPARE(buttons::findByName(name), job);
        }
        QCOMPARE(names.size(), buttons::all().size()); // every job's button is on the form
        QCOMPARE(buttons::jobNames().size(), buttons::all().size());
    }
    void pressesQueueInOrder()
    {
        // A press while a job is still on the wire queues behind it, whole and in order.
        const QByteArray receipt = jobs::receipt(jobs::Cut::Full).stream(), reset = hex("1B 40");
        QByteArray expected;
        for (int i = 0; i < 100; ++i) {
            press(*w, i % 10 == 9 ? "pushButtonReset" : "pushButtonReceiptFullCut");
            expected += i % 10 == 9 ? reset : receipt;
        }
        QVERIFY(peer->read(expected.size(), 30000) == expected);
    }
    void commandOperationsReachTheLine()
    {
        // The window's own command operations, a missing picture or QR payload going as zeros.
        QVERIFY(QMetaObject::invokeMethod(w, "printerSoftInit"));
        QVERIFY(QMetaObject::invokeMethod(w, "print_with_font", Q_ARG(const char *, "Hi"), Q_ARG(unsigned char, 0x90)));
        QVERIFY(QMetaObject::invokeMethod(w, "picturePrintH", Q_ARG(unsigned char, 0), Q_ARG(unsigned short, 2),
            Q_ARG(unsigned short, 3), Q_ARG(unsigned char *, nullptr)));
        QVERIFY(QMetaObject::invokeMethod(
            w, "transferQRcodeData", Q_ARG(unsigned short, 2), Q_ARG(unsigned char *, nullptr)));
        const QByteArray expected = hex("1B 40 1B 21 90 'Hi' 0A 1D 76 30 00 02 00 03 00 00 00 00 00 00 00 "
                                        "1D 28 6B 05 00 31 50 30 00 00");
        QCOMPARE(peer->read(expected.size()).toHex(' '), expected.toHex(' '));
    }
    void samplesDecodeBackToTheirText_data() { addTableRows(QStringLiteral("samples.txt")); }
    void samplesDecodeBackToTheirText()
    {
        QFETCH(QStringList, row); // the charset, the bytes the sample follows, its text
        const QByteArray charset = row[1].toLatin1(), after = hex(row[2].toLatin1());
        const QByteArray stream = jobs::language().stream();
        const qsizetype start = stream.indexOf(after) + after.size();
        qsizetype end = start;
        while (stream.at(end) != '\n' && stream.at(end) != '\x1C')
            ++end;
        QByteArray sample = stream.mid(start, end - start);
        if (charset == "EUC-JP") // sent as 7-bit JIS X 0208
            for (char &c : sample)
                c = char(c | 0x80);
        QCOMPARE(Charset(charset.constData()).decode(sample), row[3]);
    }
};

QTEST_MAIN(TestJobs)
#include "tst_jobs.moc"
