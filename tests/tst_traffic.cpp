#include "TestSupport.h"
#include "WindowSteps.h"

#include "app/ExpectedPaperDock.h"
#include "app/MainWindow.h"
#include "app/TrafficDock.h"
#include "demos/Jobs.h"
#include "paperview/PaperView.h"
#include "serial/SerialLink.h"
#include "tool/TrafficRecorder.h"
#include "traffic/ExpectedPrinter.h"
#include "traffic/QueryMatcher.h"
#include "traffic/TrafficLog.h"

// The Traffic and Expected Paper panes: the exchange decoded by the controller model, the answers
// explained, the bound of the log, polling, and the traffic of a run without a window.

// A status byte as the answer to a status query.
static Answer statusAnswer(qint64 offset, quint8 status)
{
    Answer a;
    a.kind = Answer::Kind::Reply;
    a.form = proto::AnswerForm::StatusByte;
    a.offset = offset;
    a.bytes = QByteArray(1, char(status));
    return a;
}

// The rows going that way, each "offset what size"; events as what they say.
static QStringList rowsOf(const TrafficLog &log, TrafficRow::Direction direction)
{
    QStringList rows;
    for (int i = 0; i < log.rowCount(); ++i) {
        const TrafficRow &r = log.row(i);
        if (r.direction == direction)
            rows << (direction == TrafficRow::Direction::Event
                    ? r.what
                    : QStringLiteral("%1 %2 %3").arg(r.offset).arg(r.what).arg(r.size));
    }
    return rows;
}

// A Traffic pane of its own over a log of ten rows: commands, an answer and events.
struct PaneOfTen
{
    TrafficLog log;
    TrafficDock dock{&log};
    QTableView *view = dock.findChild<QTableView *>("trafficView");
    PaneOfTen()
    {
        for (int i = 0; i < 10; ++i) {
            if (i % 3 == 2)
                log.addEvent(1000 * i, QStringLiteral("XOFF: held for 0.%1 s").arg(i));
            else if (i == 4)
                log.addReceived(1000 * i, statusAnswer(0, 0x32));
            else
                log.addSent(1000 * i, {2LL * i, QStringLiteral("printerSoftInit"), {}, -1, -1, 2}, "\x1B\x40");
        }
        dock.resize(900, 400);
        dock.show();
    }
    // The row of the log the view shows as current, or -1.
    int current() const
    {
        const QModelIndex at = view->currentIndex();
        return at.isValid() ? qobject_cast<const QSortFilterProxyModel *>(view->model())->mapToSource(at).row() : -1;
    }
    void typeFilter(const QString &words)
    {
        auto *field = dock.findChild<QLineEdit *>("trafficFilter");
        field->clear();
        QTest::keyClicks(field, words);
    }
};

// The rows a stream gives, growing rows applied: offset, name, arguments and size of each.
static QStringList decodeInChunks(const QByteArray &stream, qsizetype chunk)
{
    ExpectedPrinter printer;
    QStringList rows;
    auto text = [](const controller::LogEntry &e) {
        return QStringLiteral("%1 %2 [%3] %4").arg(e.offset).arg(e.name, e.args).arg(e.size);
    };
    for (qsizetype at = 0; at < stream.size(); at += chunk) {
        const ExpectedPrinter::Decoded decoded = printer.feed(stream.mid(at, chunk));
        if (decoded.grown) {
            if (rows.isEmpty() || !rows.last().startsWith(QString::number(decoded.grown->offset) + QLatin1Char(' ')))
                return {QStringLiteral("grown row %1 is not the last").arg(text(*decoded.grown))};
            rows.last() = text(*decoded.grown);
        }
        for (const controller::LogEntry &e : decoded.added)
            rows << text(e);
    }
    return rows;
}

// A link of its own to a fresh far end, without flow control, recorded into a traffic log.
struct RecordedLine
{
    RecordedLine()
    {
        const Settings settings = lineTo(line, QSerialPort::NoFlowControl);
        if (link.open(settings))
            recorder.opened(settings);
    }
    FarEnd line;
    SerialLink link;
    ExpectedPrinter printer;
    TrafficLog traffic;
    TrafficRecorder recorder{link, printer, traffic};
};

class TestTraffic : public ConnectedToolTest
{
    Q_OBJECT
private slots:
    // every pane open, as the user would have them
    void init()
    {
        w->findChild<QAction *>("actionTraffic")->setChecked(true);
        w->findChild<QAction *>("actionExpectedPaper")->setChecked(true);
    }
    void anAnswerIsNeverListedBeforeItsQuery()
    {
        // The controller can answer before the port has said that the query left: the answer's
        // row still comes after its query's.
        SerialLink link;
        ExpectedPrinter expected;
        TrafficLog log;
        TrafficRecorder recorder(link, expected, log);
        recorder.opened(Settings{});
        Answer firmware;
        firmware.kind = Answer::Kind::Reply;
        firmware.bytes = hex("'ZPC3x 1.0' 0D 0A");
        firmware.query = hex("10 05");
        firmware.queryEnd = 4;
        firmware.queryName = QStringLiteral("getFirmwareInfo");
        firmware.form = proto::AnswerForm::LineText;
        emit link.answered(firmware);
        emit link.bytesSent(0, hex("'Hi'"));
        emit link.bytesSent(2, hex("10 05"));
        recorder.flushAnswers();
        QStringList order;
        for (int i = 0; i < log.rowCount(); ++i)
            if (log.row(i).direction != TrafficRow::Direction::Event)
                order << log.row(i).what;
        QCOMPARE(order, (QStringList{"printStr", "getFirmwareInfo", "getFirmwareInfo: \"ZPC3x 1.0\""}));
    }
    void answersAreMatchedToTheirQueries_data() { steps::addScriptRows(QStringLiteral("answers.txt")); }
    void answersAreMatchedToTheirQueries()
    {
        // Through a real line: the link notes the queries it hands over and matches what comes.
        QFETCH(steps::Script, script);
        QVERIFY2(script.steps.last().text.startsWith(QLatin1String("answers ")), "a script ends with its answers");
        FarEnd line;
        SerialLink link;
        QVERIFY(link.open(lineTo(line, QSerialPort::NoFlowControl)));
        QStringList answers;
        QList<std::pair<qint64, qint64>> pieces; // each answer's offset and size
        TrafficLog log;
        connect(&link, &SerialLink::answered, this, [&](const Answer &answer) {
            if (answer.kind != Answer::Kind::NoAnswer) {
                QVERIFY(!answer.bytes.isEmpty());
                pieces.append({answer.offset, answer.bytes.size()});
            }
            answers << describeAnswer(answer);
            // A row of the traffic file keeps its six fields, whatever the answer holds.
            log.addReceived(0, answer);
            QCOMPARE(TrafficLog::rowText(log.row(log.rowCount() - 1)).count(QLatin1Char('\t')), 5);
        });
        qint64 received = 0;
        const auto quiet = [](int ms) { return [ms](const QString &) { return QTest::qWait(ms), QString(); }; };
        const steps::Ops ops{
            {"write", "HEX", "the link writes these bytes, and the far end reads them",
                [&](const QString &arg) {
                    const QByteArray bytes = hex(arg.toLatin1());
                    link.write(bytes.constData(), bytes.size());
                    return steps::got(
                        QString::fromLatin1(line.read(bytes.size()).toHex(' ')), QString::fromLatin1(bytes.toHex(' ')));
                }},
            {"far", "HEX", "the far end writes these bytes, and the link comes to hold all it was sent",
                [&](const QString &arg) {
                    const QByteArray bytes = hex(arg.toLatin1());
                    line.writeAll(bytes);
                    received += bytes.size();
                    steps::waitFor([&] { return link.received().size() == received; });
                    return steps::got(QStringLiteral("%1 bytes").arg(link.received().size()),
                        QStringLiteral("%1 bytes").arg(received));
                }},
            {"pause", "", "a pause longer than a text waits for", quiet(QueryMatcher::pauseMs + 100)},
            {"quiet", "", "a quiet longer than a query waits for", quiet(QueryMatcher::noAnswerMs + 200)},
            {"wait", "MS", "a quiet of that length",
                [](const QString &ms) { return QTest::qWait(ms.toInt()), QString(); }},
            {"answers", "ANSWER; ANSWER...",
                "the link settles; every byte received is in one answer, each starting at a byte of its own, and the "
                "answers are these in words, in order",
                [&](const QString &arg) {
                    link.settleAnswers();
                    // A status taken out of a text starts inside the text's span.
                    std::sort(pieces.begin(), pieces.end());
                    qint64 total = 0;
                    for (qsizetype i = 0; i < pieces.size(); ++i) {
                        if (i > 0 && pieces[i].first <= pieces[i - 1].first)
                            return QStringLiteral("two answers start at byte %1").arg(pieces[i].first);
                        total += pieces[i].second;
                    }
                    if (!pieces.isEmpty() && pieces[0].first != 0)
                        return QStringLiteral("the first answer starts at byte %1").arg(pieces[0].first);
                    if (total != received)
                        return QStringLiteral("the answers hold %1 bytes of the %2 received").arg(total).arg(received);
                    QStringList expected;
                    for (const QString &answer : arg.split(QLatin1Char(';'))) {
                        const auto [text, times] = steps::repeated(answer);
                        expected += QStringList(times, text);
                    }
                    return steps::firstDifference(answers, expected);
                }},
        };
        steps::run(ops, script.steps);
    }
    void queriesAreGivenUpOnlyOnceTheyLeftAndTheLineWasQuiet()
    {
        // Time is passed in: a query held back by the line waits as long as it takes, and the wait
        // for its answer starts when it has left and the line is quiet.
        QueryMatcher m;
        QVERIFY(m.sent(0, "\x10\x04", 2, 0).isEmpty());
        QCOMPARE(m.nextDeadline(), proto::realTimeQuietMs); // the controller waits this long for an n
        QVERIFY(m.tick(proto::realTimeQuietMs).isEmpty());
        QCOMPARE(m.nextDeadline(), -1);
        QVERIFY(m.tick(60000).isEmpty());
        m.left(2, 60000);
        QCOMPARE(m.nextDeadline(), 60000 + QueryMatcher::noAnswerMs);
        QVERIFY(m.tick(60000 + QueryMatcher::noAnswerMs - 1).isEmpty());
        // Unprompted bytes keep the line busy: the query waits on past them.
        const QList<Answer> stray = m.received(0, QByteArray("A"), 60400);
        QVERIFY(stray.isEmpty());
        const QList<Answer> atPause = m.tick(60400 + QueryMatcher::pauseMs);
        QCOMPARE(atPause.size(), 1);
        QCOMPARE(atPause[0].kind, Answer::Kind::Unprompted);
        QVERIFY(m.tick(60400 + QueryMatcher::noAnswerMs - 1).isEmpty());
        const QList<Answer> given = m.tick(60400 + QueryMatcher::noAnswerMs);
        QCOMPARE(given.size(), 1);
        QCOMPARE(given[0].kind, Answer::Kind::NoAnswer);
        QCOMPARE(describeAnswer(given[0]), QStringLiteral("no answer to 10 04"));
        QCOMPARE(m.waiting(), 0);
        // A far end that answers nothing while queries keep coming: the list stays bounded.
        QueryMatcher flood;
        const QByteArray many = QByteArray("\x10\x05", 2).repeated(QueryMatcher::maxWaiting + 10);
        QCOMPARE(flood.sent(0, many.constData(), many.size(), 0).size(), 10);
        QCOMPARE(flood.waiting(), QueryMatcher::maxWaiting);
    }
    void aStatusQuerysNMayComeInTheNextSlice_data()
    {
        QTest::addColumn<int>("nAfterMs");
        QTest::addColumn<QString>("asked");
        QTest::addRow("soon enough to be its n") << 5 << "10 04 01";
        QTest::addRow("after the controller stopped waiting") << proto::realTimeQuietMs + 10 << "10 04";
        QTest::addRow("answered before any n") << -1 << "10 04";
    }
    void aStatusQuerysNMayComeInTheNextSlice()
    {
        // The controller waits a short quiet for DLE EOT's n, whichever read it comes in; the
        // matcher must ask what the controller will answer.
        QFETCH(int, nAfterMs);
        QFETCH(QString, asked);
        QueryMatcher m;
        QVERIFY(m.sent(0, "\x10\x04", 2, 0).isEmpty());
        QCOMPARE(m.waiting(), 1); // already, though its n may change what it asks
        if (nAfterMs >= 0) {
            m.tick(nAfterMs);
            QVERIFY(m.sent(2, "\x01", 1, nAfterMs).isEmpty());
        }
        m.left(nAfterMs >= 0 ? 3 : 2, qMax(nAfterMs, 0));
        const QList<Answer> answers = m.received(0, hex("12"), qMax(nAfterMs, 0) + 40);
        QCOMPARE(answers.size(), 1);
        QCOMPARE(answers[0].kind, Answer::Kind::Reply);
        QCOMPARE(QString::fromLatin1(answers[0].query.toHex(' ').toUpper()), asked);
        QCOMPARE(m.waiting(), 0);
    }
    void decodingIsTheSameForAnyChunking()
    {
        // Past the model's own log limit the commands are still named, in order, every byte in one
        // of them; a run of text goes on when the model lets go of its entry.
        const int resets = int(controller::Interpreter::maxLogEntries) / 2 - 1;
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
    void everySentByteHasARow_data() { addTableRows(QStringLiteral("sentrows.txt")); }
    void everySentByteHasARow()
    {
        QFETCH(QStringList, row);
        const QByteArray stream = hex(row[1].toLatin1());
        const QStringList rows = row[2].split(QStringLiteral(", "));
        for (const qsizetype chunk : {stream.size(), qsizetype(2), qsizetype(1)}) {
            QStringList named;
            for (const QString &row : decodeInChunks(stream, chunk))
                named << row.section(QLatin1Char(' '), 0, 1) + QLatin1Char(' ') + row.section(QLatin1Char(' '), -1);
            QCOMPARE(named, rows);
        }
        // The same from the send line, through the line and the pane's recorder.
        reconnect();
        const QString bytes = QString::fromLatin1(stream.toHex(' '));
        if (WindowSession(*w, *peer).run(
                steps::written(__FILE__, __LINE__, {"set " + bytes, "press pushButtonSend", "sent " + bytes})))
            QTRY_COMPARE(rowsOf(*log(), TrafficRow::Direction::Sent), rows);
    }
    void filterKeepsTheChosenRowAndSaveAsWritesWhatIsShown()
    {
        PaneOfTen pane;
        QSignalSpy chosen(&pane.dock, &TrafficDock::rowSelected);
        pane.view->setCurrentIndex(pane.view->model()->index(3, 0)); // a sent row, the fourth
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(pane.current(), 3);
        // Filters that hide it, then show it again, by text and by direction: the choice stays,
        // and no other row is chosen or tinted meanwhile.
        pane.typeFilter(QStringLiteral("xoff")); // any case
        QTRY_COMPARE(pane.view->model()->rowCount(), 3);
        QCOMPARE(pane.current(), -1);
        pane.typeFilter(QStringLiteral("printerSoftInit"));
        QTRY_COMPARE(pane.view->model()->rowCount(), 6);
        QCOMPARE(pane.current(), 3);
        auto *direction = pane.dock.findChild<QComboBox *>("trafficDirection");
        pane.typeFilter(QString());
        QTRY_COMPARE(pane.view->model()->rowCount(), 10);
        direction->setCurrentIndex(2); // received
        QCOMPARE(pane.view->model()->rowCount(), 1);
        QCOMPARE(pane.current(), -1);
        direction->setCurrentIndex(0);
        QCOMPARE(pane.current(), 3);
        QCOMPARE(chosen.count(), 1);
        // Save As writes what is shown, and says so.
        direction->setCurrentIndex(1); // sent
        QCOMPARE(pane.view->model()->rowCount(), 6);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("shown.txt"));
        // The first dialog starts in the documents folder (home without one), never the working
        // folder, which is where the program happens to run; the next one where the last file went.
        QString startedIn;
        const auto noteFolder = [&startedIn](QWidget *modal) {
            startedIn = static_cast<QFileDialog *>(modal)->directory().absolutePath();
            static_cast<QDialog *>(modal)->reject();
        };
        ModalCloser first(noteFolder);
        first.arm();
        pane.dock.findChild<QPushButton *>("trafficSaveAs")->click();
        QTRY_VERIFY(first.done());
        QVERIFY2(startedIn != QDir::currentPath(), qPrintable(startedIn));
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY2(startedIn == QDir(documents).absolutePath() || startedIn == QDir::homePath(), qPrintable(startedIn));
        ModalCloser *closer = answerFileDialog(this, file);
        pane.dock.findChild<QPushButton *>("trafficSaveAs")->click();
        QTRY_VERIFY(closer->done());
        ModalCloser again(noteFolder);
        again.arm();
        pane.dock.findChild<QPushButton *>("trafficSaveAs")->click();
        QTRY_VERIFY(again.done());
        QCOMPARE(startedIn, QDir(dir.path()).absolutePath());
        QVERIFY2(closer->titles.value(0).contains(QStringLiteral("the filter is on (sent)")),
            qPrintable(closer->titles.join('|')));
        const QStringList lines = QString::fromUtf8(readFile(file)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2 + 6);
        QCOMPARE(lines[1], QStringLiteral("# only 6 of the 10 rows: the filter is on (sent)"));
        for (const QString &line : lines.mid(2))
            QCOMPARE(line.section(QLatin1Char('\t'), 1, 1), QStringLiteral("sent"));
        QCOMPARE(lines[2].section(QLatin1Char('\t'), 2), QStringLiteral("0\tprinterSoftInit\t\t1B 40"));
    }
    void paneFitsItsRowsAndFollowsNewOnes()
    {
        // The longest of each column: a picture's row, its bytes cut after the first 24.
        PaneOfTen pane;
        pane.log.addSent(86399999,
            {9999999999LL, QStringLiteral("picturePrintH"), QStringLiteral("0 48 256"), -1, -1, 1234567890},
            hex("1D 76 30 00 30 00 00 01 FF*16"));
        const int row = pane.view->model()->rowCount() - 1;
        QCOMPARE(pane.view->model()->index(row, TrafficLog::Length).data().toLongLong(), 1234567890);
        for (const int column :
            {TrafficLog::Time, TrafficLog::Direction, TrafficLog::Offset, TrafficLog::Length, TrafficLog::Bytes}) {
            const QModelIndex at = pane.view->model()->index(row, column);
            const QVariant font = at.data(Qt::FontRole);
            const QFontMetrics metrics(font.isValid() ? font.value<QFont>() : pane.view->font());
            const QString shown = at.data().toString();
            QVERIFY2(pane.view->columnWidth(column) >= metrics.horizontalAdvance(shown) + 6,
                qPrintable(QStringLiteral("%1 in %2 px").arg(shown).arg(pane.view->columnWidth(column))));
        }
        QVERIFY(pane.view->model()->index(row, TrafficLog::Bytes).data().toString().endsWith("(1234567890 bytes)"));
        // A pane opened after many rows came opens on the newest, as Follow says.
        {
            TrafficLog earlier;
            for (int i = 0; i < 300; ++i)
                earlier.addEvent(0, QStringLiteral("event %1").arg(i));
            TrafficDock late(&earlier);
            late.resize(900, 400);
            late.show();
            QScrollBar *lateBar = late.findChild<QTableView *>("trafficView")->verticalScrollBar();
            QTRY_VERIFY(lateBar->maximum() > 0 && lateBar->value() == lateBar->maximum());
        }
        // New rows come into view until the user scrolls up.
        auto *follow = pane.dock.findChild<QCheckBox *>("trafficFollow");
        QVERIFY(follow && follow->isChecked());
        QScrollBar *bar = pane.view->verticalScrollBar();
        auto addRows = [&pane](int n) {
            for (int i = 0; i < n; ++i)
                pane.log.addEvent(0, QStringLiteral("event %1").arg(i));
        };
        addRows(200);
        QTRY_VERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());
        // Scrolling down while at the bottom already is no reason to stop following.
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        QVERIFY(follow->isChecked());
        // Scrolled up by hand: Follow goes off, and the rows that come stay below.
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        QVERIFY(!follow->isChecked());
        const int looking = bar->value();
        addRows(200);
        QTest::qWait(50);
        QCOMPARE(bar->value(), looking);
        QVERIFY(bar->value() < bar->maximum());
        // Follow on again: the newest row comes into view, and the next ones too.
        follow->setChecked(true);
        QCOMPARE(bar->value(), bar->maximum());
        addRows(200);
        QTRY_COMPARE(bar->value(), bar->maximum());
    }
    void lineEventsWhenTheyHappen()
    {
        reconnect();
        // While the box about the lost line is up: the status bar and the rows already say so.
        QString statusMeanwhile;
        qint64 shownAt = 0, answeredAt = 0;
        QStringList eventsMeanwhile;
        ModalCloser closer([&](QWidget *box) {
            shownAt = QDateTime::currentMSecsSinceEpoch();
            statusMeanwhile = statusText(*w);
            eventsMeanwhile = rowsOf(*log(), TrafficRow::Direction::Event);
            QTimer::singleShot(400, box, [box, &answeredAt] {
                answeredAt = QDateTime::currentMSecsSinceEpoch();
                qobject_cast<QMessageBox *>(box)->accept();
            });
        });
        closer.arm();
        peer->close();
        QTRY_VERIFY(closer.done());
        QTRY_VERIFY(answeredAt > 0);
        QCOMPARE(statusMeanwhile, QStringLiteral("Disconnected"));
        QTest::qWait(50);
        QStringList events = rowsOf(*log(), TrafficRow::Direction::Event);
        QCOMPARE(events.replaceInStrings(QRegularExpression(QStringLiteral(":.*")), QString()),
            QStringList({"closed", "line lost"})); // once each
        QCOMPARE(eventsMeanwhile.size(), 2);
        const qint64 lostAt = log()->row(log()->rowCount() - 1).time;
        QVERIFY2(lostAt <= shownAt && lostAt < answeredAt - 300,
            qPrintable(QStringLiteral("%1 %2").arg(lostAt).arg(answeredAt)));
        reconnect(); // a fresh far end for the cases after this one
    }
    void logKeepsItsLastRows()
    {
        TrafficLog log(nullptr, 3);
        for (int i = 1; i <= 4; ++i)
            log.addEvent(1000 * i, QStringLiteral("event %1").arg(i));
        log.addReceived(5000, statusAnswer(7, 0x32));
        QCOMPARE(log.rowCount(), 3);
        QCOMPARE(log.droppedRows(), 2);
        QCOMPARE(log.row(0).what, QStringLiteral("event 3"));
        const QStringList lines = QString::fromUtf8(log.text()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QVERIFY2(lines[1].startsWith(QStringLiteral("# 2 older rows were dropped")), qPrintable(lines[1]));
        QCOMPARE(lines[4].section(QLatin1Char('\t'), 1), QStringLiteral("received\t7\tstatus: paper out\t2\t32"));

        log.clear();
        QCOMPARE(log.droppedRows(), 0);

        // A far end that never ends a line is cut into answers of a bounded size, shown in part.
        QueryMatcher matcher;
        const QList<Answer> cut = matcher.received(0, QByteArray(5000, 'x'), 0);
        QCOMPARE(cut.size(), 1);
        QCOMPARE(cut[0].bytes.size(), QueryMatcher::maxAnswerBytes);
        const QList<Answer> rest = matcher.tick(QueryMatcher::pauseMs);
        QCOMPARE(rest.size(), 1);
        QCOMPARE(rest[0].offset, QueryMatcher::maxAnswerBytes);
        log.addReceived(0, cut[0]);
        QCOMPARE(log.row(0).detail, QString(120, QLatin1Char('x')) + QChar(0x2026));
        QCOMPARE(log.row(0).size, QueryMatcher::maxAnswerBytes);
    }
    // Sessions of a few steps, each on a fresh line: a job's rows, polling, holds as events, a
    // text run past an answer.
    void scripts_data() { addScriptRows(QStringLiteral("script-traffic.txt")); }
    void scripts() { reconnect(), runScriptRow(w, peer); }
    void expectedPaperIsTheControllersPaper()
    {
        // The head type set on one line carries over to the next, as on the controller.
        press(*w, "pushButtonFTP638");
        QCOMPARE(peer->read(3).toHex(' '), QByteArray("1b 5a 01"));
        reconnect();
        press(*w, "pushButtonReceiptFullCut");
        const QByteArray sent = peer->read(12751, 10000);
        QCOMPARE(sent.size(), 12751);

        QTemporaryDir dir;
        const QString stream = dir.filePath(QStringLiteral("receipt.bin"));
        QVERIFY(writeFile(stream, sent));
        const QString png = dir.filePath(QStringLiteral("receipt.png"));
        QProcess sim;
        sim.start(QStringLiteral(ZPC3X_SIM), {"--render", stream, "--head-type", "1", "-o", png});
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
    void namingKeepsUpWithAFastLine()
    {
        // A pseudo-terminal takes bytes at memory speed, far faster than the commands are named
        // while the line writes: what waits to be named stays bounded.
        RecordedLine recorded;
        auto &[line, link, printer, traffic, recorder] = recorded;
        QVERIFY(link.isOpen());
        qint64 most = 0;
        connect(&link, &SerialLink::bytesSent, this, [&] { most = qMax(most, recorder.backlog()); });
        const QByteArray text = QByteArray("a line of text to print\n").repeated(64 << 10);
        qint64 read = 0;
        for (int i = 0; i < 6; ++i) {
            link.write(text.constData(), text.size());
            while (link.queued() > 0)
                read += line.read(1 << 20, 50).size();
        }
        read += line.readUntilQuiet(200).size();
        QCOMPARE(read, 6 * text.size());
        QVERIFY2(most > 0 && most <= TrafficRecorder::maxBacklog() + SerialLink::sliceMs * 11520,
            qPrintable(QString::number(most)));
    }
    void headlessTrafficGoesToANewFileOnly()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("traffic.txt"));
        // Runs printer-ruvela without a display; a fresh far end reads what comes and may answer.
        auto run = [&](const QStringList &what, const QByteArray &input, qsizetype expected, const QByteArray &answer,
                       const QString &traffic) {
            FarEnd line;
            QProcess program;
            runsHeadless(program);
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
        const auto [code, out, got] = run(status, {}, 2, QByteArray("\x32", 1), file);
        QCOMPARE(code, 0);
        QCOMPARE(got.toHex(' '), QByteArray("10 04"));
        QVERIFY2(out.contains(QStringLiteral("32 (paper out)")), qPrintable(out));
        const QString text = QString::fromUtf8(readFile(file));
        QVERIFY2(text.contains(QStringLiteral("\tsent\t0\tprinterState\t")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("\treceived\t0\tstatus: paper out\t2\t32\n")), qPrintable(text));

        // A name that is taken, or a folder that is not there: nothing is sent, and the file stays.
        for (const QString &unusable : {file, dir.filePath(QStringLiteral("missing/traffic.txt"))}) {
            const auto [again, said, sent] = run(status, {}, 0, {}, unusable);
            QCOMPARE(again, 2);
            QVERIFY2(said.contains(QStringLiteral("cannot write the traffic")), qPrintable(said));
            QVERIFY(sent.isEmpty());
        }
        QCOMPARE(QString::fromUtf8(readFile(file)), text);

        // A long run keeps every row, far more than a window's pane holds at once.
        const int resets = 30000;
        const QString longFile = dir.filePath(QStringLiteral("long.txt"));
        const auto [done, said, sent]
            = run({"--send", "-"}, QByteArray("\x1B\x40", 2).repeated(resets), 2 * resets, {}, longFile);
        QCOMPARE(done, 0);
        QCOMPARE(sent.size(), 2 * resets);
        const QString rows = QString::fromUtf8(readFile(longFile));
        QCOMPARE(rows.count(QStringLiteral("\tsent\t")), resets);
        QVERIFY(rows.contains(QStringLiteral("\tsent\t%1\tprinterSoftInit\t").arg(2 * resets - 2)));
        QVERIFY(!rows.contains(QStringLiteral("dropped")));
    }

private:
    void reconnect()
    {
        // Offsets count from Connect: a fresh line for each test that checks them.
        w->findChild<QAction *>("actionDisconnect")->trigger();
        delete peer;
        peer = new FarEnd;
        QVERIFY(connectTo(*w, peer->path()).startsWith(QStringLiteral("Connected to")));
        w->findChild<QPushButton *>("trafficClear")->click();
    }
    TrafficLog *log() const { return w->findChild<TrafficLog *>(); }
};

QTEST_MAIN(TestTraffic)
#include "tst_traffic.moc"
