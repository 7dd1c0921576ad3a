#include "SimSupport.h"

#include "app/MainWindow.h"
#include "demos/Jobs.h"
#include "tool/ButtonJobs.h"
#include "tool/Launch.h"
#include "traffic/Capture.h"
#include "traffic/Compare.h"
#include "traffic/TrafficLog.h"

#include <QRandomGenerator>

// Recordings played back and compared: every job recorded against the virtual controller plays
// back into a fresh one with the same answers and the same paper; a changed controller, a changed
// byte or an added command is named where it is; a file that is no recording sends nothing.

namespace {

QByteArray receiptBytes() { return jobs::receipt(jobs::Cut::None).stream(); }

// A recording of the host's bytes alone, as a raw file.
QString writeBin(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

// The host's bytes as a capture, in chunks of the given size.
QString writeCapture(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes, qsizetype chunk)
{
    QByteArray file = CaptureFile::sectionHeader() + CaptureFile::interfaceDescription(QStringLiteral("test"));
    for (qsizetype at = 0; at < bytes.size(); at += chunk)
        file += CaptureFile::packet(
            1000 + at, CaptureFile::Side::ToController, bytes.constData() + at, qMin(chunk, bytes.size() - at));
    return writeBin(dir, name, file);
}

Comparison compareFiles(const QString &a, const QString &b, RecordingDigest &da, RecordingDigest &db)
{
    if (RecordingDigest::readAll({&da, &db}, {a, b}) != QStringList{QString(), QString()})
        return {};
    return compareRecordings(da, db);
}

// A byte changed at each of the places in turn: the first command that differs holds it, in one
// recording or the other.
void expectNamedAtTheirCommands(const QByteArray &bytes, const QList<qsizetype> &places)
{
    QTemporaryDir dir;
    const QString original = writeBin(dir, QStringLiteral("a.bin"), bytes);
    QRandomGenerator random(1);
    for (const qsizetype at : places) {
        QByteArray changed = bytes;
        changed[at] = char(changed[at] ^ (1 << random.bounded(8)));
        const QString path = writeBin(dir, QStringLiteral("b%1.bin").arg(at), changed);
        RecordingDigest a, b;
        const Comparison c = compareFiles(original, path, a, b);
        QVERIFY2(!c.hunks.isEmpty(), qPrintable(QStringLiteral("byte %1 changed unseen").arg(at)));
        const Comparison::Hunk &first = c.hunks.first();
        auto holds = [at](const RecordingDigest::Command &cmd) {
            return cmd.offset >= 0 && cmd.offset <= at && at < cmd.offset + cmd.size;
        };
        const bool held = (first.aCount > 0 && holds(a.commandsAt({first.a}).first()))
            || (first.bCount > 0 && holds(b.commandsAt({first.b}).first()));
        QVERIFY2(held, qPrintable(QStringLiteral("byte %1: %2").arg(at).arg(describeComparison(c, a, b))));
        QFile::remove(path);
    }
}

// A virtual controller on a link of its own, its paper printed at once so that no status
// depends on how far the printing has come.
class Controller
{
public:
    explicit Controller(const QTemporaryDir &dir, const QStringList &more = {})
        : link(dir.filePath(QStringLiteral("zpc3x")))
    {
        process.start(QStringLiteral(ZPC3X_SIM), QStringList{"--no-window", "--speed", "max", "--link", link} + more);
    }
    bool ready()
    {
        return QTest::qWaitFor([this] { return QFileInfo(link).isSymLink(); }, 10000);
    }
    ~Controller()
    {
        process.terminate();
        finished(process, 10000);
    }
    QString link;
    QProcess process;
};

int run(const QStringList &arguments, QByteArray *out = nullptr, int timeoutMs = 30000)
{
    QProcess program;
    runsHeadless(program);
    program.start(QStringLiteral(PRINTER_RUVELA), arguments);
    if (!finished(program, timeoutMs))
        return -1;
    if (out)
        *out = program.readAllStandardOutput() + program.readAllStandardError();
    return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
}

} // namespace

class TestReplay : public QObject
{
    Q_OBJECT
private slots:
    void everyJobReplaysAsRecorded()
    {
        // One controller records the jobs one after the other, a fresh one takes the replays in
        // the same order: its state goes the same way, so every answer must come again.
        QTemporaryDir recordDir, replayDir;
        Controller recording(recordDir), replaying(replayDir);
        QVERIFY(recording.ready() && replaying.ready());
        for (const QString &job : buttons::jobNames()) {
            const QString captured = recordDir.filePath(job + QStringLiteral(".pcapng"));
            const QString replayed = replayDir.filePath(job + QStringLiteral(".pcapng"));
            QByteArray out;
            QCOMPARE(run({"--port", recording.link, "--job", job, "--replies", "600", "--capture", captured}), 0);
            QVERIFY2(
                run({"--port", replaying.link, "--replay", captured, "--replay-speed", "max", "--capture", replayed},
                    &out)
                    == 0,
                qPrintable(job + QStringLiteral(": ") + QString::fromUtf8(out)));
            QVERIFY2(out.contains("every answer as recorded"), out.constData());
            // The replay's own recording has the same commands, paper and answers.
            QVERIFY2(run({"--compare", captured, replayed}, &out) == 0, qPrintable(job + QString::fromUtf8(out)));
        }
    }

    void aControllerWithItsPaperOutIsNamed()
    {
        QTemporaryDir dir, outDir;
        const QString captured = dir.filePath(QStringLiteral("status.pcapng"));
        {
            Controller ready(dir);
            QVERIFY(ready.ready());
            QCOMPARE(run({"--port", ready.link, "--job", "status", "--replies", "300", "--capture", captured}), 0);
        }
        Controller paperOut(outDir, {"--paper-out"});
        QVERIFY(paperOut.ready());
        QByteArray out;
        QCOMPARE(run({"--port", paperOut.link, "--replay", captured}, &out), 1);
        QVERIFY2(out.contains("10 04 answered 32 (paper out), recorded 12 (ready)"), out.constData());
        QVERIFY2(out.contains("1 answer not as recorded"), out.constData());
    }

    void mutationsAreNamedAtTheirCommand()
    {
        const QByteArray receipt = receiptBytes();
        QRandomGenerator random(20261207);
        QList<qsizetype> places;
        for (int i = 0; i < 40; ++i)
            places << random.bounded(receipt.size());
        expectNamedAtTheirCommands(receipt, places);
    }

    void mutationsAreNamedPastWhereALongRecordingIsTakenUpAgain()
    {
        // Some 6 MB of lines and pictures: the commands the report names are read again from
        // the last point of the first reading before them, inside a picture's data too.
        QByteArray stream;
        const QByteArray picture = hex("1D 76 30 00 30 00 E8 03") + QByteArray(48 * 1000, '\x5A');
        for (int i = 0; stream.size() < (6 << 20); ++i) {
            stream += QStringLiteral("Line %1 between pictures\n").arg(i).toLatin1();
            if (i % 3 == 0)
                stream += picture;
        }
        QRandomGenerator random(20261208);
        QList<qsizetype> places;
        for (int i = 0; i < 4; ++i)
            places << (4 << 20) + random.bounded(stream.size() - (4 << 20));
        expectNamedAtTheirCommands(stream, places);
    }

    void theSameBytesCutOtherwiseAreTheSameRecording()
    {
        QTemporaryDir dir;
        const QByteArray receipt = receiptBytes();
        RecordingDigest a, b;
        const Comparison c = compareFiles(writeCapture(dir, QStringLiteral("a.pcapng"), receipt, 5),
            writeCapture(dir, QStringLiteral("b.pcapng"), receipt, 4093), a, b);
        QVERIFY2(c.same(), qPrintable(describeComparison(c, a, b)));
        QCOMPARE(a.commands().size(), b.commands().size());
        QVERIFY(a.commands().size() > 20);
    }

    void anInsertedCommandIsOneDifference()
    {
        QTemporaryDir dir;
        const QByteArray receipt = receiptBytes();
        const qsizetype middle = receipt.indexOf("\n", receipt.size() / 2) + 1; // after a line
        const QByteArray inserted = receipt.left(middle) + hex("1B 45 01") + receipt.mid(middle);
        RecordingDigest a, b;
        const Comparison c = compareFiles(
            writeBin(dir, QStringLiteral("a.bin"), receipt), writeBin(dir, QStringLiteral("b.bin"), inserted), a, b);
        QCOMPARE(c.hunks.size(), 1);
        QCOMPARE(c.differingCommands, 1);
        QCOMPARE(c.hunks.first().aCount, 0);
        QVERIFY(c.realigns);
        QCOMPARE(b.commandsAt({c.hunks.first().b}).first().offset, middle);
        QVERIFY(describeComparison(c, a, b).contains(QStringLiteral("the commands after it realign")));
        // Removed again the other way round: one command, only in the first.
        RecordingDigest ra, rb;
        const Comparison back = compareFiles(
            writeBin(dir, QStringLiteral("c.bin"), inserted), writeBin(dir, QStringLiteral("d.bin"), receipt), ra, rb);
        QCOMPARE(back.differingCommands, 1);
        QCOMPARE(back.hunks.first().bCount, 0);
    }

    void diffPictureMarksOnlyTheChangedWord()
    {
        QTemporaryDir dir;
        const QByteArray a = hex("'First line' 0A 'The total is due' 0A 'Last line' 0A");
        const QByteArray b = hex("'First line' 0A 'The TOTAL is due' 0A 'Last line' 0A");
        const QString png = dir.filePath(QStringLiteral("diff.png"));
        QByteArray out;
        QCOMPARE(run({"--compare", writeBin(dir, QStringLiteral("a.bin"), a), writeBin(dir, QStringLiteral("b.bin"), b),
                         "--diff-png", png},
                     &out),
            1);
        QVERIFY2(out.contains("command 3 at 11 / 11: printStr The total is due / printStr The TOTAL is due"),
            out.constData());
        const QImage picture(png);
        QVERIFY(!picture.isNull());
        // The red dots stand where "total" stands on the second line, on both halves, and
        // nowhere else: not on "The", not on "is due", not on the other lines.
        const int charWidth = 12, half = (picture.width() - 16) / 2;
        QRect red;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (picture.pixel(x, y) == qRgb(230, 0, 0))
                    red |= QRect(x < half ? x : x - half - 16, y, 1, 1);
        QVERIFY(!red.isEmpty());
        QVERIFY2(red.left() >= 4 * charWidth && red.right() < 9 * charWidth,
            qPrintable(QStringLiteral("red from x %1 to %2").arg(red.left()).arg(red.right())));
        QVERIFY(red.height() <= 24);
        // Papers that are the same write nothing.
        const QString none = dir.filePath(QStringLiteral("none.png"));
        QCOMPARE(run({"--compare", writeBin(dir, QStringLiteral("c.bin"), a), writeBin(dir, QStringLiteral("d.bin"), a),
                     "--diff-png", none}),
            0);
        QVERIFY(!QFileInfo::exists(none));
    }

    void windowReplaysAndOpensCaptures()
    {
        // A status query answered "ready" in the recording; a line, a query, another line.
        QTemporaryDir dir;
        const qint64 t0 = 1765000000000000;
        const QByteArray capture = CaptureFile::sectionHeader()
            + CaptureFile::interfaceDescription(QStringLiteral("/dev/ttyUSB0"))
            + CaptureFile::packet(t0, CaptureFile::Side::ToController, "Hello\n\x10\x04", 8)
            + CaptureFile::packet(t0 + 5000, CaptureFile::Side::FromController, "\x12", 1)
            + CaptureFile::packet(t0 + 40000, CaptureFile::Side::Event, nullptr, 0, QStringLiteral("a note"))
            + CaptureFile::packet(t0 + 50000, CaptureFile::Side::ToController, "Bye\n", 4);
        const QString path = writeBin(dir, QStringLiteral("exchange.pcapng"), capture);
        QString boxText;
        ModalCloser closer([&](QWidget *modal) {
            if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
                dialog->selectFile(path);
                QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                boxText = box->text();
                box->accept();
            }
        });
        FarEnd controller;
        MainWindow tool;
        tool.show();
        tool.start(parseLaunch({"printer-ruvela", "--port", controller.path(), "--flow", "none", "--connect"}));
        QTRY_VERIFY(statusText(tool).startsWith(QStringLiteral("Connected to")));
        // Replayed into a controller that now answers "paper out": the window names the answer.
        closer.arm(2);
        tool.findChild<QAction *>("actionReplayCapture")->trigger();
        QCOMPARE(controller.read(8), hex("'Hello' 0A 10 04"));
        controller.writeAll(hex("32"));
        QCOMPARE(controller.read(4), hex("'Bye' 0A"));
        QTRY_VERIFY_WITH_TIMEOUT(closer.done(), 5000);
        QVERIFY2(boxText.contains(QStringLiteral("10 04 answered 32 (paper out), recorded 12 (ready)")),
            qPrintable(boxText));
        // Offline: the same recording in Traffic, with its own times, and on Expected Paper.
        tool.findChild<QAction *>("actionDisconnect")->trigger();
        closer.arm(1);
        tool.findChild<QAction *>("actionOpenCapture")->trigger();
        QTRY_VERIFY(closer.done());
        auto *progress = tool.findChild<QProgressBar *>("captureProgress");
        QVERIFY(progress);
        QTRY_VERIFY(!progress->isVisible());
        auto *log = tool.findChild<TrafficLog *>();
        QStringList rows;
        for (int i = 0; i < log->rowCount(); ++i) {
            const TrafficRow &row = log->row(i);
            if (row.direction != TrafficRow::Direction::Event || row.what == QLatin1String("a note"))
                rows << QStringLiteral("%1 %2").arg(row.time - t0 / 1000).arg(row.what);
        }
        QCOMPARE(rows,
            (QStringList{"0 printStr", "0 printLF", "0 printerState", "5 status: ready", "40 a note", "50 printStr",
                "50 printLF"}));
        QVERIFY(tool.findChild<QAction *>("actionOpenCapture")->isEnabled());
        QCOMPARE(tool.statusBar()->currentMessage(), QStringLiteral("Opened exchange.pcapng"));
    }

    void timesAtTheEndsOfTheirRangeAreRead()
    {
        // Times a capture may hold, however far apart: the span between them stands at its
        // end rather than wrapping, and the recording reads as any other.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("times.pcapng"));
        QVERIFY(writeFile(path,
            CaptureFile::sectionHeader() + CaptureFile::interfaceDescription(QStringLiteral("test"))
                + CaptureFile::packet(1796682516629210, CaptureFile::Side::ToController, "Hi\n\x10\x04", 5)
                + CaptureFile::packet(
                    std::numeric_limits<qint64>::min() + 1, CaptureFile::Side::FromController, "\x12", 1)
                + CaptureFile::packet(
                    std::numeric_limits<qint64>::max(), CaptureFile::Side::ToController, "Bye\n", 4)));
        QList<Answer> answers;
        QCOMPARE(recordedAnswers(path, answers), QString());
        QCOMPARE(CaptureReader::microsBetween(1796682516629210, std::numeric_limits<qint64>::min() + 1),
            std::numeric_limits<qint64>::min());
        RecordingDigest a, b;
        QVERIFY(compareFiles(path, path, a, b).same());
    }

    void whatIsNoRecordingSendsNothing_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("said");
        const QByteArray whole = CaptureFile::sectionHeader()
            + CaptureFile::interfaceDescription(QStringLiteral("/dev/ttyUSB0"))
            + CaptureFile::packet(1000, CaptureFile::Side::ToController, "Hello\n", 6);
        QTest::newRow("empty") << QByteArray() << "empty.pcapng"
                               << "the file is empty";
        QTest::newRow("cut off") << whole.chopped(5) << "cut.pcapng"
                                 << "cut off inside the block";
        QTest::newRow("plain text") << QByteArray("Hello\n") << "text.pcapng"
                                    << "not a pcapng capture";
        QByteArray ethernet = CaptureFile::sectionHeader() + CaptureFile::interfaceDescription({});
        ethernet[CaptureFile::sectionHeader().size() + 8] = 1; // link type 1
        QTest::newRow("another link type")
            << ethernet + CaptureFile::packet(1000, CaptureFile::Side::ToController, "Hi", 2) << "ethernet.pcapng"
            << "link type 1, not RTAC serial";
        QTest::newRow("a block that lies about its length") << whole.left(whole.size() - 4) + "\xFF\xFF\xFF\x7F"
                                                            << "length.pcapng"
                                                            << "does not end as it began";
    }
    void whatIsNoRecordingSendsNothing()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, name);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString path = writeBin(dir, name, contents);
        FarEnd line;
        QByteArray out;
        QCOMPARE(run({"--port", line.path(), "--replay", path}, &out), 2);
        QVERIFY2(out.contains(said.toUtf8()), out.constData());
        QCOMPARE(line.readUntilQuiet(100), QByteArray());
        QCOMPARE(run({"--compare", path, path}, &out), 2);
        QVERIFY2(out.contains(said.toUtf8()), out.constData());
    }
};

QTEST_MAIN(TestReplay)
#include "tst_replay.moc"
