// The virtual controller's line: pacing, its buffer and flow control, faults, and its window,
// end to end with the real tool over a pseudo-terminal where the tool is involved.
#include "SimSupport.h"
#include "StepScript.h"

#include "app/MainWindow.h"
#include "demos/Jobs.h"
#include "simulator/WireModel.h"
#include "simwindow/SimWindow.h"
#include "traffic/ExpectedPrinter.h"
#include "traffic/TrafficLog.h"

#include <QTcpSocket>

#include <optional>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace controller;
using namespace sim;

namespace {

// A plain socket to 127.0.0.1:port, or -1.
int connectTcp(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0 ? fd : (::close(fd), -1);
}

// A client in the raw TCP way of printing: connects, sends its job and closes at once.
void sendAndClose(quint16 port, const QByteArray &job)
{
    const int fd = connectTcp(port);
    QVERIFY(fd >= 0);
    QCOMPARE(::send(fd, job.constData(), size_t(job.size()), 0), ssize_t(job.size()));
    ::close(fd);
}

quint16 portOf(const LineDriver &driver) { return driver.tcpAddress().section(QLatin1Char(':'), 1).toUShort(); }

QStringList logged(const Interpreter &printer, const QStringList &names)
{
    QStringList out;
    for (const LogEntry &e : printer.log())
        if (names.contains(e.name))
            out << (e.name == QLatin1String("printLF") ? QStringLiteral("\n") : e.args);
    return out;
}

// A controller on a line model of its own, step by step, as sim-wire.txt writes it: a step may
// give something, and "=> WHAT" after it says what it must give, bytes as hex; "=> A..B" a number
// from A to B.
class WireSession
{
public:
    WireSession()
    {
        ops = {
            gives("wire", "BAUD BUFFER SPEED FLOW [MS|flat]",
                "a controller on a line: bit/s, 0 unpaced; bytes; mm/s, 0 as fast as it goes; 1 for XON/XOFF; a "
                "work clock of its own that is MS later at each reading, or every row at the motor's speed however "
                "dark",
                [this](const QStringList &args, const QString &) {
                    const auto number = [&](int i) { return args.value(i).toDouble(); };
                    WireSettings settings{int(number(0)), int(number(1)), number(2), number(3) > 0};
                    settings.flatTiming = args.last() == "flat";
                    wire.emplace(
                        printer, settings,
                        args.size() < 5 || settings.flatTiming
                            ? WireModel::WorkClock(WireModel::steadyClock)
                            : [this, ms = int(number(4))] { return now += std::chrono::milliseconds(ms); });
                    return QByteArray();
                }),
            gives("receive", "HEX", "the host's bytes arrive: gives what goes back at once",
                [this](const QStringList &, const QString &command) {
                    const QByteArray bytes = hex(command.toLatin1());
                    for (const LogEntry &e : model.feed(bytes, true).added)
                        if (e.name == "printerState" || e.name == "transmitRealTimeStatus")
                            foreseen += QByteArray::fromHex(e.args.section("-> ", 1).toLatin1());
                    return wire->receive(bytes);
                }),
            gives("advance", "S[*N]", "S seconds pass, N times over: gives what goes back meanwhile",
                [this](const QStringList &args, const QString &) {
                    const auto [seconds, times] = steps::repeated(args.value(0));
                    QByteArray back;
                    for (int i = 0; i < times; ++i)
                        back += wire->advance(seconds.toDouble());
                    return back;
                }),
            gives("until", "HEX S N", "S seconds at a time, at most N times, until HEX went back: gives all that did",
                [this](const QStringList &args, const QString &) {
                    QByteArray back;
                    for (int i = 0; i < args.value(2).toInt() && !back.contains(hex(args.value(0).toLatin1())); ++i)
                        back += wire->advance(args.value(1).toDouble());
                    return back;
                }),
            gives("drain", "S N", "S seconds at a time, at most N times, until the buffer is empty",
                [this](const QStringList &args, const QString &) {
                    for (int i = 0; i < args.value(1).toInt() && wire->bufferFill() > 0; ++i)
                        wire->advance(args.value(0).toDouble());
                    return QByteArray();
                }),
            gives("carry", "S*N", "N steps of S seconds, each taking what the pacing allows",
                [this](const QStringList &args, const QString &) {
                    const auto [seconds, times] = steps::repeated(args.value(0));
                    for (int i = 0; i < times; ++i) {
                        wire->advance(seconds.toDouble());
                        wire->receive(QByteArray(wire->readAllowance(), 'x'));
                    }
                    return QByteArray();
                }),
            gives("paper-out", "0|1", "the paper runs out, or is back",
                [this](const QStringList &args, const QString &) {
                    return wire->setPaperOut(args.value(0).toInt() > 0), QByteArray();
                }),
            gives("cover-open", "0|1", "the cover opens, or closes",
                [this](const QStringList &args, const QString &) {
                    return wire->setCoverOpen(args.value(0).toInt() > 0), QByteArray();
                }),
            gives("replies", "", "gives what the printer still holds to answer",
                [this](const QStringList &, const QString &) { return printer.takeReplies(); }),
            number(
                "allowance", "what the pacing allows the host to send now", [this] { return wire->readAllowance(); }),
            number("fill", "the bytes in the buffer", [this] { return wire->bufferFill(); }),
            number("dropped", "the bytes lost to overflow", [this] { return wire->droppedBytes(); }),
            number("received", "the bytes the line took", [this] { return wire->receivedBytes(); }),
            number("held", "1 while XOFF holds the host", [this] { return qint64(wire->isHeld()); }),
            number("xoffs", "the XOFFs sent", [this] { return wire->xoffCount(); }),
            number("rows", "the rows printed", [this] { return qint64(printer.paper().rows()); }),
            number("interpreted", "the bytes interpreted", [this] { return printer.bytesReceived(); }),
            number("speed", "the print speed the window shows, mm/s",
                [this] { return qint64(qRound(wire->printSpeed())); }),
            {"log", "NAME,NAME => TEXT", "gives the arguments of those entries of the log, joined by \" / \"",
                [this](const QString &arg) {
                    return checked(arg, logged(printer, arg.section("=>", 0, 0).trimmed().split(',')).join(" / "),
                        arg.section("=>", 1).trimmed());
                }},
            {"agree", "",
                "every status answer so far is what the tool's model of the controller, given the same bytes, foresees",
                [this](const QString &) {
                    // The status bytes: the firmware's text left out.
                    return checked(QStringLiteral("=>"),
                        QString::fromLatin1(QByteArray(answered).replace(proto::firmwareReply(0), "").toHex(' ')),
                        QString::fromLatin1(foreseen.toHex(' ')));
                }},
        };
    }
    steps::Ops ops;

private:
    // An operation that gives what went back on the line, bytes as hex.
    steps::Op gives(const char *name, const char *arguments, const char *description,
        std::function<QByteArray(const QStringList &args, const QString &command)> act)
    {
        return {name, QString::fromLatin1(arguments) + QStringLiteral(" [=> HEX]"), description,
            [this, act, first = QLatin1String(name) == QLatin1String("wire")](const QString &arg) {
                if (!first && !wire)
                    return QStringLiteral("no line: a script starts with \"wire\"");
                const QString command = arg.section("=>", 0, 0);
                const QByteArray back = act(command.split(' ', Qt::SkipEmptyParts), command);
                answered += back;
                answered.removeIf([](char c) { return c == proto::XON || c == proto::XOFF; });
                return checked(arg, QString::fromLatin1(back.toHex(' ')),
                    QString::fromLatin1(hex(arg.section("=>", 1).trimmed().toLatin1()).toHex(' ')));
            }};
    }
    // An operation that gives a number.
    steps::Op number(const char *name, const char *description, std::function<qint64()> count)
    {
        return {name, QStringLiteral("=> N|A..B"), description, [this, count](const QString &arg) {
                    return wire ? checked(arg, QString::number(count()), arg.section("=>", 1).trimmed())
                                : QStringLiteral("no line: a script starts with \"wire\"");
                }};
    }
    // What a step that says "=> WANT" saw when it gave otherwise.
    static QString checked(const QString &step, const QString &given, const QString &expected)
    {
        if (!step.contains("=>"))
            return {};
        const QString want = step.section("=>", 1).trimmed();
        const bool inRange = given.toLongLong() >= want.section("..", 0, 0).toLongLong()
            && given.toLongLong() <= want.section("..", 1).toLongLong();
        if (want.contains("..") ? inRange : given == expected)
            return {};
        return QStringLiteral("gave %1, not %2")
            .arg(given.isEmpty() ? QStringLiteral("nothing") : given,
                expected.isEmpty() ? QStringLiteral("nothing") : expected);
    }

    Interpreter printer;
    std::optional<WireModel> wire;
    std::chrono::nanoseconds now{}; // the work clock a step of its own moves on at each reading
    ExpectedPrinter model; // the tool's own model of the controller, given the same bytes
    QByteArray answered, foreseen; // every answer that went back, and every one the model foresaw
};

} // namespace

class TestSimLine : public QObject
{
    Q_OBJECT

private slots:
    void lineModelSteps_data()
    {
        steps::addScriptRows(QStringLiteral("sim-wire.txt"));
        // The tool's streams: each piece, then a second of quiet in which everything prints; the
        // controller must give every query the answer the tool's own model gives it.
        for (const steps::Line &row : steps::linesOf(QStringLiteral("statusagree.txt"))) {
            const QStringList fields = row.text.split(QStringLiteral(" | "));
            steps::Script script{fields[0], {{row.file, row.number, QStringLiteral("wire 0 4096 80 1")}}};
            for (const QString &piece : fields[1].split(QStringLiteral(" / ")))
                script.steps << steps::Line{row.file, row.number, QStringLiteral("receive ") + piece}
                             << steps::Line{row.file, row.number, QStringLiteral("advance 0.004*250")};
            script.steps << steps::Line{row.file, row.number, QStringLiteral("agree")};
            QTest::newRow(qPrintable(script.name)) << script;
        }
    }
    void lineModelSteps()
    {
        QFETCH(steps::Script, script);
        WireSession session;
        steps::run(session.ops, script.steps);
    }

    void toolSeesPaperOutCoverOpenAndUnplug()
    {
        SimWindow window(0, WireSettings{});
        QVERIFY(window.driver().plugIn());
        MainWindow tool;
        connectTo(tool, window.driver().path());
        const auto trigger = [&window](const char *name) { window.findChild<QAction *>(name)->trigger(); };
        const QList<std::pair<QStringList, int>> steps{{{}, Interpreter::Fixed},
            {{"actionPaperOut"}, Interpreter::Fixed | Interpreter::PaperOut},
            {{"actionPaperOut", "actionCoverOpen"}, Interpreter::Fixed | Interpreter::CoverOpen}};
        for (const auto &[actions, status] : steps) {
            for (const QString &action : actions)
                trigger(qPrintable(action));
            press(tool, "pushButtonStatus");
            QTRY_COMPARE(consoleText(tool), QString(QChar(status)));
            if (status & Interpreter::PaperOut)
                QCOMPARE(window.lastReply(), QStringLiteral("Last reply: 32 (paper out)"));
        }
        // With both on, the line names both reasons for the pause.
        trigger("actionPaperOut");
        QVERIFY(
            window.findChild<QLabel *>("lineLabel")->text().endsWith(QStringLiteral("paused: paper out, cover open")));
        trigger("actionPaperOut");
        ModalCloser closer;
        closer.arm();
        trigger("actionUnplug");
        QTRY_VERIFY(closer.done());
        QCOMPARE(closer.title, QStringLiteral("Critical Error"));
        QCOMPARE(statusText(tool), QStringLiteral("Disconnected"));
        QVERIFY(!window.driver().isPluggedIn());
        trigger("actionPlugIn");
        QVERIFY(window.driver().isPluggedIn());
        QVERIFY(connectTo(tool, window.driver().path()).startsWith(QStringLiteral("Connected to")));
        press(tool, "pushButtonVersion");
        QTRY_VERIFY(consoleText(tool).startsWith(QStringLiteral("ZPC3x virtual controller")));
    }

    void windowKeepsThePaperWideAndItsListHighlightsClearsAndRollsOn()
    {
        SimWindow window(0, WireSettings{});
        window.resize(900, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // A long answer takes no room from the paper: its line is cut to the room it has.
        auto *paper = window.findChild<QWidget *>("paperView");
        const int paperWidth = paper->width();
        const QByteArray longAnswer = "firmware " + QByteArray(400, 'x');
        emit window.driver().answered(longAnswer);
        QTest::qWait(50);
        QCOMPARE(window.lastReply(), QStringLiteral("Last reply: %1").arg(Printhead::describeReply(longAnswer)));
        QVERIFY(paper->width() == paperWidth && window.width() == 900);
        QVERIFY(window.findChild<QWidget *>("replyLabel")->width() < window.width());
        window.interpreter().feed(jobs::receipt(jobs::Cut::Full).stream());
        window.refresh();
        auto *view = window.findChild<QListView *>("logView");
        const QAbstractItemModel *list = view->model();
        const auto &log = window.interpreter().log();
        int picture = -1, total = -1;
        for (int i = 0; i < log.size(); ++i) {
            picture = log.at(i).name == QLatin1String("picturePrintH") ? i : picture;
            total = log.at(i).args.startsWith(QLatin1String("Total:")) ? i : total;
        }
        view->setCurrentIndex(list->index(picture, 0));
        QCOMPARE(window.highlightedRows(), std::make_pair(0, 255)); // the logo's rows
        view->setCurrentIndex(list->index(total, 0));
        QCOMPARE(window.highlightedRows(), std::make_pair(log.at(total).firstRow, log.at(total).firstRow + 23));
        window.findChild<QAction *>("actionClearPaper")->trigger();
        QCOMPARE(window.interpreter().paper().rows(), 0);
        QCOMPARE(list->rowCount(), 0);
        // More commands than the log keeps: the list rolls on, and says how many went. Offsets
        // count on from the receipt's 12751 bytes.
        window.interpreter().feed(hex("1B 40").repeated(60000) + "THE LAST LINE\n");
        window.refresh();
        const qint64 before = window.interpreter().rolledOff();
        const auto text = [list](int row) { return list->index(row, 0).data().toString(); };
        QVERIFY(before > 0);
        QCOMPARE(list->rowCount(), log.size() + 1);
        QCOMPARE(text(0), QStringLiteral("… %1 earlier commands not kept").arg(before));
        QCOMPARE(text(list->rowCount() - 2), QStringLiteral("  132751  printStr THE LAST LINE"));
        QCOMPARE(text(list->rowCount() - 1), QStringLiteral("  132764  printLF "));
        // A status is told in the words of the query it answers.
        window.interpreter().setPaperOut(true);
        for (const auto &[query, said] : {std::pair{"10 04 01", "1A (offline)"},
                 std::pair{"10 04 02", "32 (offline for lack of paper)"}, std::pair{"10 04 04", "72 (paper out)"}}) {
            window.interpreter().feed(hex(query));
            window.interpreter().settle();
            emit window.driver().answered(window.interpreter().takeReplies());
            QCOMPARE(window.lastReply(), QStringLiteral("Last reply: %1").arg(QLatin1String(said)));
        }
    }

    void savePaperWritesRegularFilesOnly_data() { addTableRows(QStringLiteral("simline-savepaper.txt")); }
    void savePaperWritesRegularFilesOnly()
    {
        QFETCH(QStringList, row);
        const bool written = row[2] == QLatin1String("written");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("paper.png"));
        const QByteArray name = QFile::encodeName(path);
        if (row[1] == QLatin1String("regular"))
            QVERIFY(writeFile(path, "old"));
        else if (row[1] == QLatin1String("pipe"))
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        // The null device's numbers, in a folder of the test's own: /dev/null itself is never risked.
        else if (row[1] == QLatin1String("device") && ::mknod(name.constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
            QSKIP("no device nodes may be made here");
        struct stat before = {}, after = {};
        ::lstat(name.constData(), &before);
        SimWindow window(0, WireSettings{});
        window.interpreter().feed("paper\n");
        QString error;
        QCOMPARE(window.savePaper(path, error), written);
        QCOMPARE(::lstat(name.constData(), &after), 0);
        QVERIFY2(error.isEmpty() == written && (written || error.contains(QLatin1String("not a regular file"))),
            qPrintable(error));
        if (written)
            QVERIFY(S_ISREG(after.st_mode) && QImage(path).height() == window.interpreter().paper().rows());
        else // still the pipe or the device it was
            QVERIFY(after.st_mode == before.st_mode && after.st_ino == before.st_ino);
        QCOMPARE(entriesOf(dir.path()), QStringList(QStringLiteral("paper.png"))); // nothing left beside it
    }

    void servesTcpClientsInTurnAndWhole()
    {
        Interpreter printer;
        LineDriver driver(printer, {0, 4096, 0, true}); // the paper as fast as possible
        QVERIFY(!driver.serveTcp(QStringLiteral("localhost:9x")));
        QVERIFY(driver.serveTcp(QStringLiteral("0"), 0.3)); // any free port on 127.0.0.1
        QVERIFY(driver.tcpAddress().startsWith(QStringLiteral("127.0.0.1:")));
        const quint16 port = portOf(driver);
        // The same controller, its answers on the socket and without flow control.
        QTcpSocket talker;
        talker.connectToHost(QHostAddress::LocalHost, port);
        QTRY_COMPARE(driver.tcpClient(), QStringLiteral("127.0.0.1:%1").arg(talker.localPort()));
        talker.write(hex("10 04 01 1D 49 01"));
        QByteArray answers;
        QTRY_VERIFY((answers += talker.readAll()).size() >= 2);
        QCOMPARE(answers, hex("12 33"));
        // It falls silent while others wait: one that leaves inside a block promising 4 GB, then
        // 30 that each send a job and close at once. Each is read whole and starts a fresh stream.
        sendAndClose(port, hex("1D 38 4C FF FF FF FF 30 70") + QByteArray(30, 'x'));
        QStringList expected;
        QByteArray job;
        const auto addLine = [&](const QString &line) { job += (expected << line).last().toLatin1() + '\n'; };
        for (int client = 0; client < 30; ++client, job.clear()) {
            for (int line = 0; line < 40; ++line)
                addLine(QStringLiteral("client %1 line %2").arg(client).arg(line));
            sendAndClose(port, job);
        }
        // One more asks for its status first and closes while 200 KB are still on their way: the
        // answer must not reach it before it has sent them all.
        QTcpSocket asker;
        asker.connectToHost(QHostAddress::LocalHost, port);
        job = hex("10 04 01");
        for (int line = 0; line < 5000; ++line)
            addLine(QStringLiteral("asker line %1 of a long job").arg(line));
        asker.write(job);
        asker.disconnectFromHost();
        // The lines as printed: a query's entry may stand between two pieces of one.
        const auto printed = [&] {
            return logged(printer, {"printStr", "printLF"}).join(QString()).split(QStringLiteral("\n"));
        };
        QTRY_VERIFY_WITH_TIMEOUT(printed().size() > expected.size(), 15000);
        QCOMPARE(printed(), expected + QStringList(QString()));
        QCOMPARE(logged(printer, {"truncated"}), QStringList({"4294967263 data bytes missing"}));
        QTRY_VERIFY(driver.tcpClient().isEmpty());
    }

    void textWithoutLineFeedAtTheEnd_data() { addTableRows(QStringLiteral("simline-unprinted.txt")); }
    void textWithoutLineFeedAtTheEnd()
    {
        // Left without a line feed at the end, it never prints: in a rendering, in the window (a
        // TCP client that leaves) and on Expected Paper.
        QFETCH(QStringList, row);
        const QByteArray stream = hex(row[1].toLatin1());
        Interpreter rendered, reference; // as --render reads a file
        rendered.feed(stream);
        rendered.finish();
        reference.feed(hex(row[2].toLatin1()));
        reference.finish();
        QCOMPARE(reference.linesNotPrinted(), 0);
        const QImage paper = reference.paper().image();
        QVERIFY(!paper.isNull());
        QCOMPARE(rendered.paper().image(), paper);
        QCOMPARE(rendered.linesNotPrinted(), 1);
        QCOMPARE(rendered.log().last().name, QStringLiteral("line not printed"));
        Interpreter served; // a TCP client sends it and leaves
        WireModel wire(served, {0, 4096, 0, true});
        wire.receive(stream, WireModel::Network);
        wire.endStream(WireModel::Network);
        for (int tick = 0; tick < 10; ++tick)
            wire.advance(0.004);
        QVERIFY(wire.takeStreamFinished(WireModel::Network));
        QCOMPARE(served.paper().image(), paper);
        ExpectedPrinter expected; // the tool's Expected Paper
        expected.feed(stream, true);
        QCOMPARE(expected.paper().image(), paper);
    }

    void halfClosingClientsGetTheirAnswers()
    {
        Interpreter printer;
        LineDriver driver(printer, {0, 4096, 80, true});
        QVERIFY(driver.serveTcp(QStringLiteral("0")));
        // 200 clients, each asking for the status and closing its sending side, as
        // `printf '\x10\x04' | socat - TCP:...` does; each reads until the controller closes.
        // They come fifty at a time, as the listen queue holds 128.
        for (int wave = 0; wave < 4; ++wave) {
            QList<int> sockets;
            for (int i = 0; i < 50; ++i) {
                sockets << connectTcp(portOf(driver));
                QVERIFY(sockets.last() >= 0 && ::send(sockets.last(), "\x10\x04", 2, 0) == 2
                    && ::shutdown(sockets.last(), SHUT_WR) == 0);
            }
            for (const int fd : std::as_const(sockets)) {
                QByteArray answer;
                const bool closed = QTest::qWaitFor(
                    [&] {
                        char buf[16];
                        const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
                        answer.append(buf, qMax<ssize_t>(n, 0));
                        return n == 0;
                    },
                    30000);
                ::close(fd);
                QVERIFY(closed);
                QCOMPARE(answer, hex("12"));
            }
        }
    }

    void logListsEveryCommandWhole_data()
    {
        QTest::addColumn<QByteArrayList>("pieces"); // written 0.5 s apart
        QTest::addColumn<QByteArray>("listed");
        QTest::addColumn<QByteArray>("never");
        QTest::newRow("more commands than the log holds, then a line")
            << QByteArrayList{hex("1B 40").repeated(60000) + "THE LAST LINE\n"}
            << QByteArray("  120000  printStr THE LAST LINE") << QByteArray("log full");
        QTest::newRow("a line in two halves")
            << QByteArrayList{"Job 000 line 1", "5\n"} << QByteArray("       0  printStr Job 000 line 15")
            << QByteArray("       0  printStr Job 000 line 1\n");
    }
    void logLinesStayWholeBesideNotes()
    {
        // The log and the notes into one file: a client that resets its connection while its
        // commands are being listed is noted on a line of its own, never inside a log line.
        QTemporaryDir dir;
        const QString both = dir.filePath(QStringLiteral("both.txt"));
        QProcess sim;
        sim.setProcessChannelMode(QProcess::MergedChannels);
        sim.setStandardOutputFile(both);
        // A runtime folder of its own, so that Qt has nothing to say about the one it was given.
        QTemporaryDir runtime;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        sim.setProcessEnvironment(environment);
        sim.start(QStringLiteral(ZPC3X_SIM), {"--no-window", "--no-pty", "--tcp", "0", "--log", "--speed", "max"});
        QTRY_VERIFY_WITH_TIMEOUT(readFile(both).contains("127.0.0.1:"), 10000);
        const QByteArray started = readFile(both);
        const int at = started.indexOf("127.0.0.1:") + 10;
        const quint16 port = started.mid(at, started.indexOf('\n', at) - at).toUShort();
        QByteArray flood;
        for (int i = 0; flood.size() < (2 << 20); ++i)
            flood += QStringLiteral("Line %1 of a flood\n").arg(i, 7, 10, QLatin1Char('0')).toLatin1();
        for (int turn = 0; turn < 3; ++turn) {
            QTcpSocket client;
            client.connectToHost(QHostAddress::LocalHost, port);
            QVERIFY(client.waitForConnected(5000));
            client.write(flood);
            QTRY_VERIFY(client.bytesToWrite() == 0);
            QTest::qWait(300);
            const linger reset{1, 0}; // closed with a reset, in the middle of the listing
            ::setsockopt(int(client.socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            client.abort();
            QTest::qWait(300);
        }
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        const QRegularExpression whole(QStringLiteral(
            "^( *\\d+  (printStr [ 0-9A-Za-z]*|printLF|roll full .*|tcp .*|line not printed .*)|zpc3x-sim: .*|"
            "Virtual ZPC3x controller on TCP .*|TCP client .*)$"));
        const QList<QByteArray> lines = readFile(both).split('\n');
        for (const QByteArray &line : lines)
            QVERIFY2(line.isEmpty() || whole.match(QString::fromLatin1(line)).hasMatch(), line.constData());
        QVERIFY(std::any_of(lines.begin(), lines.end(),
            [](const QByteArray &line) { return line.startsWith("zpc3x-sim: TCP client") && line.contains("reset"); }));
    }

    void logListsEveryCommandWhole()
    {
        QFETCH(QByteArrayList, pieces);
        QFETCH(QByteArray, listed);
        QFETCH(QByteArray, never);
        QProcess sim;
        sim.start(QStringLiteral(ZPC3X_SIM),
            {"--no-window", "--no-pty", "--tcp", "0", "--log", "--speed", "max", "--buffer", "65536"});
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += sim.readAllStandardOutput()).contains("127.0.0.1:"), 10000);
        const int at = out.indexOf("127.0.0.1:") + 10;
        const quint16 port = out.mid(at, out.indexOf('\n', at) - at).toUShort();
        QVERIFY(port > 0);
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(client.waitForConnected(5000));
        for (const QByteArray &piece : std::as_const(pieces)) {
            if (&piece != &pieces.first())
                QTest::qWait(500);
            client.write(piece);
            QTRY_VERIFY(client.bytesToWrite() == 0);
        }
        QTRY_VERIFY_WITH_TIMEOUT((out += sim.readAllStandardOutput()).contains("printLF"), 20000);
        client.disconnectFromHost();
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        out += sim.readAllStandardOutput();
        QVERIFY2(out.contains(listed + '\n'), out.right(300).constData());
        QVERIFY(!out.contains(never));
        // One line a command: every reset of the stream is listed.
        QCOMPARE(out.count("  printerSoftInit\n"), pieces.join().count("\x1B@"));
    }

    void bothEndsGetTheirAnswersBackAndPrintUnmixed()
    {
        // A controller with a host on its pseudo-terminal and a TCP client at once.
        Interpreter printer;
        LineDriver driver{printer, WireSettings{0, 4096, 0, true}};
        QVERIFY(driver.plugIn() && driver.serveTcp(QStringLiteral("0")));
        const int host = openHost(driver.path());
        const auto closeHost = qScopeGuard([host] { ::close(host); });
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, portOf(driver));
        QVERIFY(host >= 0 && client.waitForConnected(5000));
        QTRY_VERIFY(!driver.tcpClient().isEmpty());
        // Real-time queries are answered as they arrive, the others as they are processed.
        const QByteArray serialAsks = hex("10 04 01 1D 72 01"), networkAsks = hex("1D 49 01");
        QByteArray onSerial, onNetwork;
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(writeFor(host, serialAsks), serialAsks.size());
            client.write(networkAsks);
            QTest::qWait(5);
        }
        const auto readBoth = [&] {
            char buf[256];
            for (ssize_t n; (n = ::read(host, buf, sizeof buf)) > 0;)
                onSerial.append(buf, n);
            onNetwork += client.readAll();
            return onSerial.size() >= 40 && onNetwork.size() >= 20;
        };
        QTRY_VERIFY_WITH_TIMEOUT(readBoth(), 5000);
        QTest::qWait(50);
        readBoth();
        QCOMPARE(onNetwork, hex("33").repeated(20));
        QCOMPARE(onSerial.count('\x12'), 20);
        QCOMPARE(onSerial.count('\0'), 20);
        // Then both jobs go out at once, a few bytes at a time, each piece a little after the other's.
        QStringList lines;
        for (int i = 0; i < 5; ++i)
            lines << QStringLiteral("PTY LINE %1 ENDS HERE").arg(i, 2, 10, QLatin1Char('0'))
                  << QStringLiteral("TCP LINE %1 ENDS HERE").arg(i, 2, 10, QLatin1Char('0'));
        const QByteArray ptyJob = lines.filter("PTY").join('\n').toLatin1() + '\n',
                         tcpJob = lines.filter("TCP").join('\n').toLatin1() + '\n';
        for (qsizetype at = 0; at < ptyJob.size(); at += 7) {
            QCOMPARE(writeFor(host, ptyJob.mid(at, 7)), ptyJob.mid(at, 7).size());
            QTest::qWait(3);
            client.write(tcpJob.mid(at, 7));
            client.flush();
            QTest::qWait(3);
        }
        QTRY_VERIFY_WITH_TIMEOUT(logged(printer, {QStringLiteral("printLF")}).size() == 10, 5000);
        // Each line printed whole, from one end; all of both jobs, nothing lost.
        QStringList printed = logged(printer, {QStringLiteral("printStr")});
        printed.sort();
        lines.sort();
        QCOMPARE(printed, lines);
    }

    void hostFlowControlDecidesOverrun_data()
    {
        QTest::addColumn<bool>("honours");
        QTest::newRow("host honours XOFF") << true;
        QTest::newRow("host ignores XOFF") << false;
    }

    void trafficForeseesTheHeadsStatus_data()
    {
        QTest::addColumn<int>("head");
        QTest::addColumn<bool>("askVersion");
        for (int head = 0; head < proto::headTypes; ++head)
            QTest::addRow("head type %d, its firmware answer heard", head) << head << true;
        QTest::newRow("head type 4, a status answer heard") << 4 << false;
        QTest::newRow("head type 5, a status answer heard") << 5 << false;
    }
    void trafficForeseesTheHeadsStatus()
    {
        // A controller set to its head before the tool came: once an answer told the head, the
        // status the tool's model foresees in Traffic is the one the controller gives.
        QFETCH(int, head);
        QFETCH(bool, askVersion);
        SimWindow window(head, WireSettings{});
        QVERIFY(window.driver().plugIn());
        MainWindow tool;
        connectTo(tool, window.driver().path());
        const TrafficLog *log = tool.findChild<TrafficLog *>();
        QVERIFY(log);
        const auto rowsOf = [log](TrafficRow::Direction direction) {
            QList<TrafficRow> rows;
            for (int i = 0; i < log->rowCount(); ++i)
                if (log->row(i).direction == direction)
                    rows << log->row(i);
            return rows;
        };
        press(tool, askVersion ? "pushButtonVersion" : "pushButtonStatus");
        QTRY_COMPARE(rowsOf(TrafficRow::Direction::Received).size(), 1);
        press(tool, "pushButtonStatus");
        QTRY_COMPARE(rowsOf(TrafficRow::Direction::Received).size(), 2);
        const QByteArray answered = rowsOf(TrafficRow::Direction::Received).last().bytes;
        QCOMPARE(answered.size(), 1);
        QCOMPARE(bool(quint8(answered.at(0)) & proto::StatusHasCutter), proto::headHasCutter(head));
        const TrafficRow query = rowsOf(TrafficRow::Direction::Sent).last();
        QCOMPARE(query.what, QStringLiteral("printerState"));
        QCOMPARE(query.detail, QStringLiteral("-> ") + QString::fromLatin1(answered.toHex().toUpper()));
    }

    void darkPictureOutrunsAHostThatIgnoresXoff_data()
    {
        // A black picture 384 dots wide at 230400 bit/s: the line brings 23 KB a second, and its
        // rows take six strobes each, 10 KB a second of it, where the motor alone would take 31.
        QTest::addColumn<bool>("honours");
        QTest::addColumn<bool>("flat");
        QTest::addColumn<bool>("overruns");
        QTest::newRow("host honours XOFF") << true << false << false;
        QTest::newRow("host ignores XOFF") << false << false << true;
        QTest::newRow("host ignores XOFF, rows at the motor's speed") << false << true << false;
    }
    void darkPictureOutrunsAHostThatIgnoresXoff()
    {
        QFETCH(bool, honours);
        QFETCH(bool, flat);
        QFETCH(bool, overruns);
        Interpreter printer;
        WireSettings settings{230400, 4096, 80, true};
        settings.flatTiming = flat;
        WireModel wire(printer, settings);
        wire.setHostHonoursXoff(honours);
        const QByteArray picture = hex("1D 76 30 00 30 00 90 01") + QByteArray(48 * 400, '\xFF');
        qsizetype sent = 0;
        for (int tick = 0; tick < 2000 && (sent < picture.size() || wire.bufferFill() > 0); ++tick) {
            wire.advance(0.005);
            const qsizetype allowed = wire.readAllowance();
            const qsizetype n = qMin(picture.size() - sent, allowed < 0 ? picture.size() : allowed);
            wire.receive(picture.mid(sent, n));
            sent += n;
        }
        wire.advance(0.005); // the overrun is told once it is over
        QCOMPARE(sent, picture.size());
        QCOMPARE(wire.droppedBytes() > 0, overruns);
        // Each overrun is told once it is over: together they name every byte lost.
        qint64 told = 0;
        for (const QString &note : logged(printer, {"overrun:"}))
            told += note.section(' ', 0, 0).toLongLong();
        QCOMPARE(told, wire.droppedBytes());
        if (!overruns)
            QCOMPARE(printer.paper().rows(), 400);
    }
    void hostFlowControlDecidesOverrun()
    {
        // 300 lines at 400 mm/s, three times the buffer, written as fast as the host may.
        QFETCH(bool, honours);
        Interpreter printer;
        LineDriver driver(printer, {0, 4096, 400, true});
        QVERIFY(driver.plugIn());
        const int host = openHost(driver.path(), honours);
        QVERIFY(host >= 0);
        QByteArray job;
        for (int line = 0; line < 300; ++line)
            job += QByteArray::number(line).leftJustified(30, '.') + '\n';
        QElapsedTimer clock;
        clock.start();
        writeFor(host, job, 15000);
        ::close(host);
        if (honours) {
            QTRY_VERIFY_WITH_TIMEOUT(logged(printer, {"printLF"}).size() == 300, 15000);
            const double ratio = clock.elapsed() / 1000.0 / (printer.paper().rows() / (400.0 * 8));
            QVERIFY2(ratio > 0.8 && ratio < 1.5, qPrintable(QString::number(ratio)));
            QVERIFY(driver.wire().xoffCount() > 0);
            QCOMPARE(driver.wire().droppedBytes(), 0);
            QCOMPARE(logged(printer, {"overrun:"}), QStringList());
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(!logged(printer, {"overrun:"}).isEmpty(), 15000);
            QVERIFY(driver.wire().droppedBytes() > 0);
            QCOMPARE(logged(printer, {"overrun:"}),
                QStringList(QStringLiteral("%1 bytes lost").arg(driver.wire().droppedBytes())));
        }
    }
};

QTEST_MAIN(TestSimLine)
#include "tst_simline.moc"
