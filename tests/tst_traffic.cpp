#include "TestSupport.h"

#include "app/ExpectedPaperDock.h"
#include "app/MainWindow.h"
#include "app/TrafficDock.h"
#include "app/TrafficRecorder.h"
#include "demos/Jobs.h"
#include "files/WholeFile.h"
#include "paperview/PaperView.h"
#include "serial/SerialLink.h"
#include "traffic/Answers.h"
#include "traffic/ExpectedPrinter.h"
#include "traffic/TrafficLog.h"

#include <QCheckBox>
#include <QDockWidget>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

// The Traffic and Expected Paper panes: the exchange decoded by the controller model, the answers
// explained, the bound of the log, polling, and the traffic of a run without a window.
class TestTraffic : public ConnectedToolTest
{
    Q_OBJECT
private slots:
    void answersAreCutAndExplained_data();
    void answersAreCutAndExplained();
    void decodingIsTheSameForAnyChunking();
    void logKeepsItsLastRowsAndFilters();
    void rowsOfAJob();
    void expectedPaperIsTheControllersPaper();
    void pollingAsksOnlyWhenSwitchedOn();
    void holdsAreEvents();
    void textRunsGrowPastAnswersAndEvents();
    void headlessTrafficGoesToANewFileOnly();
    void newFilesNeverTakeAnothersPlace();

private:
    void reconnect();
    TrafficLog *log() const { return w->findChild<TrafficLog *>(); }
};

// The line's settings for a link of its own to that far end, without flow control.
static Settings plainLine(const FarEnd &line)
{
    Settings settings;
    settings.portName = line.path();
    settings.baudRate = 115200;
    settings.flowControl = QSerialPort::NoFlowControl;
    return settings;
}

void TestTraffic::reconnect()
{
    // Offsets count from Connect: a fresh line for each test that checks them.
    w->findChild<QAction *>("actionDisconnect")->trigger();
    delete peer;
    peer = new FarEnd;
    QVERIFY(connectTo(*w, peer->path()).startsWith(QStringLiteral("Connected to")));
    w->findChild<QPushButton *>("trafficClear")->click();
}

void TestTraffic::answersAreCutAndExplained_data() { addTableRows(QStringLiteral("answers.txt")); }

void TestTraffic::answersAreCutAndExplained()
{
    // Through a real line: the link counts the queries it hands over, the cutter cuts what comes.
    QFETCH(QStringList, row);
    FarEnd line;
    SerialLink link;
    const Settings settings = plainLine(line);
    QVERIFY(link.open(settings));
    AnswerCutter cutter;
    QStringList answers;
    qint64 next = 0; // each answer starts where the one before it ended
    auto take = [&](const AnswerCutter::Answer &answer) {
        QCOMPARE(answer.offset, next);
        next += answer.bytes.size();
        answers << describeAnswer(answer);
    };
    connect(&link, &SerialLink::bytesReceived, this, [&](qint64 offset, const QByteArray &bytes) {
        for (const AnswerCutter::Answer &answer : cutter.received(offset, bytes, link.unansweredQueries()))
            take(answer);
    });
    QByteArray sent;
    for (const QString &write : row[1].split(QLatin1Char('/'))) {
        const QByteArray bytes = hex(write.toLatin1());
        link.write(bytes.constData(), bytes.size());
        sent += bytes;
    }
    QCOMPARE(line.read(sent.size()), sent);
    qint64 received = 0;
    for (const QString &read : row[2].split(QLatin1Char('/'))) {
        const QByteArray bytes = hex(read.toLatin1());
        line.writeAll(bytes);
        received += bytes.size();
        QTRY_COMPARE(link.received().size(), received);
    }
    if (const auto last = cutter.flush())
        take(*last);
    QCOMPARE(next, received);
    QCOMPARE(answers.join(QStringLiteral("; ")), row[3].trimmed());
}

// The rows a stream gives, growing rows applied: offset, name, arguments and size of each.
static QStringList decodeInChunks(const QByteArray &stream, qsizetype chunk)
{
    ExpectedPrinter printer;
    QStringList rows;
    auto text = [](const sim::LogEntry &e) {
        return QStringLiteral("%1 %2 [%3] %4").arg(e.offset).arg(e.name, e.args).arg(e.size);
    };
    for (qsizetype at = 0; at < stream.size(); at += chunk) {
        const ExpectedPrinter::Decoded decoded = printer.feed(stream.mid(at, chunk));
        if (decoded.grown) {
            if (rows.isEmpty() || !rows.last().startsWith(QString::number(decoded.grown->offset) + QLatin1Char(' ')))
                return {QStringLiteral("grown row %1 is not the last").arg(text(*decoded.grown))};
            rows.last() = text(*decoded.grown);
        }
        for (const sim::LogEntry &e : decoded.added)
            rows << text(e);
    }
    return rows;
}

void TestTraffic::decodingIsTheSameForAnyChunking()
{
    // The receipt: text runs that grow across writes, a picture whose data comes in slices.
    QByteArray receipt;
    for (const QByteArray &write : jobs::receipt(jobs::Cut::Full).writes)
        receipt += write;
    const QStringList whole = decodeInChunks(receipt, receipt.size());
    QCOMPARE(decodeInChunks(receipt, 7), whole);
    QCOMPARE(decodeInChunks(receipt, 1), whole);
    qint64 covered = 0;
    for (const QString &row : whole)
        covered += row.section(QLatin1Char(' '), -1).toLongLong();
    QCOMPARE(covered, receipt.size()); // every byte belongs to one command

    // Past the model's own log limit the commands are still named, in order, every byte in one
    // of them; a run of text goes on when the model lets go of its entry.
    const int resets = int(sim::Interpreter::maxLogEntries) / 2 - 1;
    const QByteArray many = QByteArray("\x1B\x40", 2).repeated(resets) + QByteArray(20000, 'x')
        + QByteArray("\x1B\x40", 2).repeated(2 * resets);
    for (const qsizetype chunk : {qsizetype(4096), many.size()}) {
        const QStringList named = decodeInChunks(many, chunk);
        QStringList runs;
        qint64 bytes = 0;
        for (const QString &row : named) {
            const QString name = row.section(QLatin1Char(' '), 1, 1);
            if (runs.isEmpty() || runs.last() != name)
                runs << name;
            bytes += row.section(QLatin1Char(' '), -1).toLongLong();
        }
        QCOMPARE(runs, QStringList({"printerSoftInit", "printStr", "printerSoftInit"}));
        QCOMPARE(bytes, many.size());
        QCOMPARE(named.last(), QStringLiteral("%1 printerSoftInit [] 2").arg(many.size() - 2));
    }
}

void TestTraffic::logKeepsItsLastRowsAndFilters()
{
    TrafficLog log(nullptr, 3);
    for (int i = 1; i <= 4; ++i)
        log.addEvent(1000 * i, QStringLiteral("event %1").arg(i));
    log.addReceived(5000, {7, QByteArray("\x32", 1), true});
    QCOMPARE(log.rowCount(), 3);
    QCOMPARE(log.droppedRows(), 2);
    QCOMPARE(log.row(0).what, QStringLiteral("event 3"));
    const QStringList lines = QString::fromUtf8(log.text()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    QVERIFY2(lines[1].startsWith(QStringLiteral("# 2 older rows were dropped")), qPrintable(lines[1]));
    QCOMPARE(lines[4].section(QLatin1Char('\t'), 1), QStringLiteral("received\t7\tstatus: paper out\t2\t32"));

    TrafficFilter filter;
    filter.setSourceModel(&log);
    filter.setDirection(int(TrafficRow::Direction::Received));
    QCOMPARE(filter.rowCount(), 1);
    filter.setDirection(-1);
    filter.setText(QStringLiteral("EVENT 4"));
    QCOMPARE(filter.rowCount(), 1);
    filter.setText(QStringLiteral("paper out"));
    QCOMPARE(filter.rowCount(), 1);
    log.clear();
    QCOMPARE(filter.rowCount(), 0);
    QCOMPARE(log.droppedRows(), 0);

    // A far end that never ends a line is cut into answers of a bounded size, shown in part.
    AnswerCutter cutter;
    const QList<AnswerCutter::Answer> cut = cutter.received(0, QByteArray(5000, 'x'), 0);
    QCOMPARE(cut.size(), 1);
    QCOMPARE(cut[0].bytes.size(), AnswerCutter::maxAnswerBytes);
    QCOMPARE(cutter.flush()->offset, AnswerCutter::maxAnswerBytes);
    log.addReceived(0, cut[0]);
    QCOMPARE(log.row(0).detail, QString(120, QLatin1Char('x')) + QChar(0x2026));
    QCOMPARE(log.row(0).size, AnswerCutter::maxAnswerBytes);
}

void TestTraffic::rowsOfAJob()
{
    reconnect();
    press(*w, "pushButtonReceipt");
    QCOMPARE(peer->read(12749, 10000).size(), 12749);
    press(*w, "pushButtonStatus");
    QCOMPARE(peer->read(2).toHex(' '), QByteArray("10 04"));
    peer->writeAll(QByteArray("\x32", 1));
    TrafficLog *traffic = log();
    auto received = [traffic] {
        for (int i = 0; i < traffic->rowCount(); ++i)
            if (traffic->row(i).direction == TrafficRow::Direction::Received)
                return true;
        return false;
    };
    QTRY_VERIFY(received());

    QStringList actual;
    qint64 lastTime = 0;
    for (int i = 0; i < traffic->rowCount(); ++i) {
        const TrafficRow &r = traffic->row(i);
        QVERIFY(r.time >= lastTime);
        lastTime = r.time;
        if (r.direction != TrafficRow::Direction::Event)
            actual << QStringList{TrafficLog::directionName(r.direction), QString::number(r.offset), r.what,
                QString::number(r.size)}
                          .join(QStringLiteral(" | "));
    }
    QStringList expected = dataLines(QStringLiteral("traffic.txt"));
    for (QString &line : expected)
        line = line.simplified();
    QCOMPARE(actual, expected);
    // Each command shows its own first bytes, and how many there are when it is longer.
    QCOMPARE(
        traffic->data(traffic->index(0, TrafficLog::Bytes), Qt::DisplayRole).toString(), QStringLiteral("1B 61 00"));
    const QString picture = traffic->data(traffic->index(3, TrafficLog::Bytes), Qt::DisplayRole).toString();
    QVERIFY2(picture.startsWith(QStringLiteral("1D 76 30 00 30 00 00 01 "))
            && picture.endsWith(QStringLiteral("(12296 bytes)")),
        qPrintable(picture));
    QCOMPARE(w->findChild<QLabel *>("controllerStatusLabel")->text(), QStringLiteral("Controller: paper out"));

    // Save As writes the rows as --traffic does, a line each under the heading.
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("traffic.txt"));
    w->findChild<TrafficDock *>()->save(saved);
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), traffic->rowCount() + 2); // the heading, and the end of the last line
    QCOMPARE(lines[4], TrafficLog::rowText(traffic->row(3)).toUtf8());
}

void TestTraffic::expectedPaperIsTheControllersPaper()
{
    // The head type set on one line carries over to the next, as on the controller.
    press(*w, "pushButtonFTP638");
    QCOMPARE(peer->read(3).toHex(' '), QByteArray("1b 5a 01"));
    reconnect();
    press(*w, "pushButtonReceiptFullCut");
    const QByteArray sent = peer->read(12751, 10000);
    QCOMPARE(sent.size(), 12751);

    QTemporaryDir dir;
    QFile stream(dir.filePath(QStringLiteral("receipt.bin")));
    QVERIFY(stream.open(QIODevice::WriteOnly) && stream.write(sent) == sent.size());
    stream.close();
    const QString png = dir.filePath(QStringLiteral("receipt.png"));
    QProcess sim;
    sim.start(QStringLiteral(ZPC3X_SIM),
        {QStringLiteral("--render"), stream.fileName(), QStringLiteral("--head-type"), QStringLiteral("1"),
            QStringLiteral("-o"), png});
    QVERIFY(sim.waitForFinished(30000));
    QCOMPARE(sim.exitCode(), 0);
    const QImage rendered = QImage(png).convertToFormat(QImage::Format_Grayscale8);

    const auto *dock = w->findChild<ExpectedPaperDock *>();
    QTRY_COMPARE(dock->view()->paper()->rows(), rendered.height());
    const QImage expected = dock->view()->paper()->image();
    QCOMPARE(expected.width(), 576);
    QCOMPARE(expected.size(), rendered.size());
    QVERIFY(expected == rendered);

    // Choosing the picture's row in Traffic tints the logo's 256 rows at the top of the paper.
    auto *view = w->findChild<QTableView *>("trafficView");
    for (int i = 0; i < view->model()->rowCount(); ++i) {
        if (view->model()->index(i, TrafficLog::What).data().toString() == QLatin1String("picturePrintH"))
            view->setCurrentIndex(view->model()->index(i, 0));
    }
    QCOMPARE(dock->view()->tint(), std::make_pair(0, 255));

    // Save PNG writes that paper.
    const QString saved = dir.filePath(QStringLiteral("expected.png"));
    w->findChild<ExpectedPaperDock *>()->save(saved);
    QVERIFY(QImage(saved).convertToFormat(QImage::Format_Grayscale8) == rendered);
}

void TestTraffic::pollingAsksOnlyWhenSwitchedOn()
{
    reconnect();
    QVERIFY(peer->read(2, 1500).isEmpty()); // off: the line stays quiet
    auto *poll = w->findChild<QCheckBox *>("trafficPoll");
    w->findChild<QSpinBox *>("trafficPollSeconds")->setValue(1);
    poll->setChecked(true);
    QCOMPARE(peer->read(2, 3000).toHex(' '), QByteArray("10 04"));
    peer->writeAll(QByteArray("\x16", 1));
    QTRY_COMPARE(w->findChild<QLabel *>("controllerStatusLabel")->text(), QStringLiteral("Controller: cover open"));
    // The answer to the tool's own question is not the user's: it stays out of the console.
    QVERIFY(!consoleText(*w).contains(QChar(0x16)));
    QCOMPARE(peer->read(2, 3000).toHex(' '), QByteArray("10 04"));
    poll->setChecked(false);
    peer->readUntilQuiet(100);
    QVERIFY(peer->read(2, 1500).isEmpty());
}

void TestTraffic::holdsAreEvents()
{
    reconnect();
    peer->writeAll(QByteArray(1, '\x13')); // XOFF before the job: nothing may leave
    press(*w, "pushButtonReceipt");
    QVERIFY(peer->read(1, 1000).isEmpty());
    peer->writeAll(QByteArray(1, '\x11'));
    QCOMPARE(peer->read(12749, 10000).size(), 12749);
    const QRegularExpression heldFor(QStringLiteral("^XOFF: held for (\\d+\\.\\d) s$"));
    QRegularExpressionMatch match;
    auto released = [&] {
        for (int i = 0; i < log()->rowCount(); ++i) {
            if (log()->row(i).direction == TrafficRow::Direction::Event
                && (match = heldFor.match(log()->row(i).what)).hasMatch())
                return true;
        }
        return false;
    };
    QTRY_VERIFY(released());
    const double seconds = match.captured(1).toDouble();
    QVERIFY2(seconds >= 0.5 && seconds < 5, qPrintable(match.captured(0)));
}

void TestTraffic::textRunsGrowPastAnswersAndEvents()
{
    // A line of text written in two parts, an answer and an event between them: its one row
    // holds every byte of it.
    FarEnd line;
    SerialLink link;
    const Settings settings = plainLine(line);
    QVERIFY(link.open(settings));
    ExpectedPrinter printer;
    TrafficLog traffic;
    TrafficRecorder recorder(link, printer, traffic);
    recorder.opened(settings);
    link.write("Hello", 5);
    QCOMPARE(line.read(5), QByteArray("Hello"));
    line.writeAll("?");
    QTRY_COMPARE(link.received().size(), 1);
    recorder.flushAnswers();
    link.write(" world\n", 7);
    QCOMPARE(line.read(7), QByteArray(" world\n"));
    QStringList sent;
    QTRY_VERIFY(traffic.rowCount() >= 4); // connected, printStr, the answer, printLF
    for (int i = 0; i < traffic.rowCount(); ++i) {
        const TrafficRow &r = traffic.row(i);
        if (r.direction == TrafficRow::Direction::Sent)
            sent << QStringLiteral("%1 %2 %3 %4").arg(r.offset).arg(r.what, r.detail).arg(r.size);
    }
    QCOMPARE(sent, QStringList({"0 printStr Hello world 11", "11 printLF  1"}));
}

void TestTraffic::headlessTrafficGoesToANewFileOnly()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("traffic.txt"));
    // Runs printer-ruvela without a display; the far end reads what comes and may answer.
    auto run = [&](FarEnd &line, const QStringList &what, const QByteArray &input, qsizetype expected,
                   const QByteArray &answer, const QString &traffic) {
        QProcess program;
        QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
        headless.remove(QStringLiteral("QT_QPA_PLATFORM"));
        headless.remove(QStringLiteral("DISPLAY"));
        program.setProcessEnvironment(headless);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(PRINTER_RUVELA),
            QStringList{QStringLiteral("--port"), line.path(), QStringLiteral("--traffic"), traffic} + what);
        program.write(input);
        program.closeWriteChannel();
        const QByteArray got = line.read(expected, 20000, expected ? -1 : 300);
        line.writeAll(answer);
        program.waitForFinished(30000);
        return std::make_tuple(program.exitCode(), QString::fromUtf8(program.readAll()), got);
    };
    const QStringList status{"--job", "status", "--replies", "1000"};
    FarEnd first;
    const auto [code, out, got] = run(first, status, {}, 2, QByteArray("\x32", 1), file);
    QCOMPARE(code, 0);
    QCOMPARE(got.toHex(' '), QByteArray("10 04"));
    QVERIFY2(out.contains(QStringLiteral("32 (paper out)")), qPrintable(out));
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(written.readAll());
    QVERIFY2(text.contains(QStringLiteral("\tsent\t0\tprinterState\t")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("\treceived\t0\tstatus: paper out\t2\t32\n")), qPrintable(text));

    // A name that is taken, or a folder that is not there: nothing is sent, and the file stays.
    for (const QString &unusable : {file, dir.filePath(QStringLiteral("missing/traffic.txt"))}) {
        FarEnd second;
        const auto [again, said, sent] = run(second, status, {}, 0, {}, unusable);
        QCOMPARE(again, 2);
        QVERIFY2(said.contains(QStringLiteral("cannot write the traffic")), qPrintable(said));
        QVERIFY(sent.isEmpty());
    }
    written.seek(0);
    QCOMPARE(QString::fromUtf8(written.readAll()), text);

    // A long run keeps every row, far more than a window's pane holds at once.
    const int resets = 30000;
    FarEnd third;
    const QString longFile = dir.filePath(QStringLiteral("long.txt"));
    const auto [done, said, sent]
        = run(third, {"--send", "-"}, QByteArray("\x1B\x40", 2).repeated(resets), 2 * resets, {}, longFile);
    QCOMPARE(done, 0);
    QCOMPARE(sent.size(), 2 * resets);
    QFile all(longFile);
    QVERIFY(all.open(QIODevice::ReadOnly));
    const QString rows = QString::fromUtf8(all.readAll());
    QCOMPARE(rows.count(QStringLiteral("\tsent\t")), resets);
    QVERIFY(rows.contains(QStringLiteral("\tsent\t%1\tprinterSoftInit\t").arg(2 * resets - 2)));
    QVERIFY(!rows.contains(QStringLiteral("dropped")));
}

void TestTraffic::newFilesNeverTakeAnothersPlace()
{
    QTemporaryDir dir;
    auto at = [&dir](const char *name) { return dir.filePath(QLatin1String(name)); };
    auto everything = [&dir] {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    QFile mine(at("mine.txt"));
    QVERIFY(mine.open(QIODevice::WriteOnly) && mine.write("the user's") == 10);
    mine.close();
    QVERIFY(QFile::link(at("nowhere.txt"), at("link.txt")));
    for (const QString &taken : {at("mine.txt"), at("link.txt")}) {
        NewFile file;
        QVERIFY(file.open(taken).contains(QStringLiteral("exists already")));
    }
    NewFile nowhere;
    QVERIFY(nowhere.open(at("missing/traffic.txt")).contains(QStringLiteral("No such file or directory")));
    QCOMPARE(everything(), QStringList({"link.txt", "mine.txt"}));

    {
        NewFile left; // never committed: nothing stays
        QCOMPARE(left.open(at("left.txt")), QString());
        QCOMPARE(left.append("half"), QString());
    }
    QCOMPARE(everything(), QStringList({"link.txt", "mine.txt"}));

    NewFile fresh;
    QCOMPARE(fresh.open(at("new.txt")), QString());
    QCOMPARE(fresh.append("traf"), QString());
    QCOMPARE(fresh.append("fic"), QString());
    QVERIFY(!QFileInfo::exists(at("new.txt"))); // the name only when it is whole
    QCOMPARE(fresh.commit(), QString());
    QFile written(at("new.txt"));
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("traffic"));

    // The name taken while the file was being written: theirs stays, ours goes.
    NewFile late;
    QCOMPARE(late.open(at("race.txt")), QString());
    QCOMPARE(late.append("ours"), QString());
    QFile theirs(at("race.txt"));
    QVERIFY(theirs.open(QIODevice::WriteOnly) && theirs.write("theirs") == 6);
    theirs.close();
    QVERIFY(late.commit().contains(QStringLiteral("exists already")));
    QVERIFY(theirs.open(QIODevice::ReadOnly));
    QCOMPARE(theirs.readAll(), QByteArray("theirs"));
    QVERIFY(mine.open(QIODevice::ReadOnly));
    QCOMPARE(mine.readAll(), QByteArray("the user's"));
    QCOMPARE(everything(), QStringList({"link.txt", "mine.txt", "new.txt", "race.txt"}));
}

QTEST_MAIN(TestTraffic)
#include "tst_traffic.moc"
