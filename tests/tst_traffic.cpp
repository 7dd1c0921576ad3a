#include "TestSupport.h"

#include "app/ExpectedPaperDock.h"
#include "app/MainWindow.h"
#include "app/TrafficDock.h"
#include "app/WholeFile.h"
#include "demos/Jobs.h"
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
    void headlessTrafficGoesToANewFileOnly();
    void newFilesNeverTakeAnothersPlace();

private:
    void reconnect();
    TrafficLog *log() const { return w->findChild<TrafficLog *>(); }
};

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
    Settings settings;
    settings.portName = line.path();
    settings.baudRate = 115200;
    settings.flowControl = QSerialPort::NoFlowControl;
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

void TestTraffic::headlessTrafficGoesToANewFileOnly()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("traffic.txt"));
    auto run = [&](FarEnd &line, bool answers) {
        QProcess program;
        QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
        headless.remove(QStringLiteral("QT_QPA_PLATFORM"));
        headless.remove(QStringLiteral("DISPLAY"));
        program.setProcessEnvironment(headless);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(PRINTER_RUVELA),
            {QStringLiteral("--port"), line.path(), QStringLiteral("--job"), QStringLiteral("status"),
                QStringLiteral("--replies"), QStringLiteral("1000"), QStringLiteral("--traffic"), file});
        if (answers) {
            line.read(2, 10000);
            line.writeAll(QByteArray("\x32", 1));
        }
        program.waitForFinished(20000);
        return std::make_pair(program.exitCode(), QString::fromUtf8(program.readAll()));
    };
    FarEnd first;
    const auto [code, out] = run(first, true);
    QCOMPARE(code, 0);
    QVERIFY2(out.contains(QStringLiteral("32 (paper out)")), qPrintable(out));
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(written.readAll());
    QVERIFY2(text.contains(QStringLiteral("\tsent\t0\tprinterState\t")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("\treceived\t0\tstatus: paper out\t2\t32\n")), qPrintable(text));

    // A second run never writes over the first one's file, and sends nothing.
    FarEnd second;
    const auto [again, said] = run(second, false);
    QCOMPARE(again, 2);
    QVERIFY2(said.contains(QStringLiteral("exists already")), qPrintable(said));
    QVERIFY(second.read(1, 300).isEmpty());
    written.seek(0);
    QCOMPARE(QString::fromUtf8(written.readAll()), text);
}

void TestTraffic::newFilesNeverTakeAnothersPlace()
{
    QTemporaryDir dir;
    const QString mine = dir.filePath(QStringLiteral("mine.txt")), link = dir.filePath(QStringLiteral("link.txt")),
                  fresh = dir.filePath(QStringLiteral("new.txt"));
    QFile file(mine);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("the user's") == 10);
    file.close();
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere.txt")), link));
    for (const QString &taken : {mine, link})
        QVERIFY(writeWholeFile(taken, "traffic", Existing::Refuse).contains(QStringLiteral("exists already")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("the user's"));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("nowhere.txt"))));
    QCOMPARE(writeWholeFile(fresh, "traffic", Existing::Refuse), QString());
    QCOMPARE(
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot).size(), 3);
}

QTEST_MAIN(TestTraffic)
#include "tst_traffic.moc"
