// The virtual controller's line: pacing, its buffer and flow control, faults, and its window,
// end to end with the real tool over a pseudo-terminal where the tool is involved.
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "demos/Jobs.h"
#include "simulator/SimWindow.h"
#include "simulator/WireModel.h"
#include "traffic/ExpectedPrinter.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QProcess>
#include <QSplitter>
#include <QStatusBar>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

using namespace controller;
using namespace sim;

namespace {

// A client in the raw TCP way of printing: connects, sends its job and closes at once.
void sendAndClose(quint16 port, const QByteArray &job)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QVERIFY(::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0);
    QCOMPARE(::send(fd, job.constData(), size_t(job.size()), 0), ssize_t(job.size()));
    ::close(fd);
}

QStringList logged(const Interpreter &printer, const QStringList &names)
{
    QStringList out;
    for (const LogEntry &e : printer.log())
        if (names.contains(e.name))
            out << (e.name == QLatin1String("printLF") ? QStringLiteral("\n") : e.args);
    return out;
}

} // namespace

class TestSimLine : public QObject
{
    Q_OBJECT

private slots:
    void pacingCarriesBaudOverTen();
    void xoffAtThreeQuartersXonBelowAQuarter();
    void workIsBoundedByTheClockPassedIn();
    void withoutFlowControlOverflowIsLostAndCounted();
    void queriesAreAnsweredWhilePrintingWaits();
    void paperOutChangesTheStatusTheToolShows();
    void unplugAndPlugIn();
    void servesTcpClientsInTurnAndWhole();
    void answersGoBackWhereTheyWereAsked();
    void halfClosingClientsGetTheirAnswers();
    void textWithoutLineFeedAtTheEnd_data();
    void textWithoutLineFeedAtTheEnd();
    void statusAgreesWithTheToolsModel_data();
    void statusAgreesWithTheToolsModel();
    void logListsEveryCommandWhole_data();
    void logListsEveryCommandWhole();
    void windowListRollsOn();
    void jobsFromBothEndsPrintUnmixed();
    void hostFlowControlDecidesOverrun_data();
    void hostFlowControlDecidesOverrun();
    void windowHighlightsRowsAndClears();
    void savePaperWritesRegularFilesOnly_data();
    void savePaperWritesRegularFilesOnly();
    void longReplyTakesNoRoomFromThePaper();
};

void TestSimLine::pacingCarriesBaudOverTen()
{
    Interpreter printer;
    WireModel line(printer, {9600, 1 << 20, 80, false});
    qsizetype carried = 0;
    for (int tick = 0; tick < 100; ++tick) { // one second in 10 ms steps
        line.advance(0.01);
        const qsizetype n = line.readAllowance();
        line.receive(QByteArray(n, 'x'));
        carried += n;
    }
    QVERIFY2(carried >= 940 && carried <= 960, qPrintable(QString::number(carried))); // 9600 / 10
    WireModel unpaced(printer, {0, 4096, 80, false});
    QCOMPARE(unpaced.readAllowance(), -1);
}

void TestSimLine::workIsBoundedByTheClockPassedIn()
{
    // A clock of the test's own on which each reading is 15 ms after the last: one tick of time
    // interprets only as much as fits in its 20 ms of work, whatever the machine's speed.
    std::chrono::nanoseconds now{};
    const auto slowClock = [&now] { return now += std::chrono::milliseconds(15); };
    Interpreter printer;
    WireModel wire(printer, {0, 1 << 20, 0, false}, slowClock);
    const QByteArray text = QByteArray("0123456789abcdef\n").repeated(120); // 2 KB
    wire.receive(text);
    wire.advance(0.004);
    const qsizetype left = wire.bufferFill();
    QVERIFY(left > 0 && left < text.size()); // one slice, or two, then the tick is over
    for (int tick = 0; tick < 10000 && wire.bufferFill() > 0; ++tick)
        wire.advance(0.004);
    QCOMPARE(wire.bufferFill(), 0);
    QCOMPARE(printer.bytesReceived(), text.size());
}

void TestSimLine::xoffAtThreeQuartersXonBelowAQuarter()
{
    Interpreter printer;
    WireModel line(printer, {0, 1000, 8, true}); // 64 rows a second
    QCOMPARE(line.readAllowance(), 1000);
    QCOMPARE(line.receive(QByteArray(700, '\0')), QByteArray()); // NUL prints nothing and stays queued
    QCOMPARE(line.receive(hex("1D 76 30 00 01 00 64 00") + QByteArray(60, '\xFF')), hex("13"));
    QVERIFY(line.isHeld());
    QCOMPARE(line.readAllowance(), 1000 - 768);
    // Printing 100 rows at 64 rows a second: the buffer drains, and XON follows below a quarter.
    QByteArray back;
    for (int i = 0; i < 400 && !back.contains('\x11'); ++i)
        back += line.advance(0.01);
    QCOMPARE(back, hex("11"));
    QVERIFY(!line.isHeld());
    QCOMPARE(line.xoffCount(), 1);
    QCOMPARE(line.droppedBytes(), 0);
}

void TestSimLine::withoutFlowControlOverflowIsLostAndCounted()
{
    Interpreter printer;
    WireModel line(printer, {0, 100, 80, false});
    QCOMPARE(line.readAllowance(), -1);
    QCOMPARE(line.receive(QByteArray(150, 'a')), QByteArray()); // never XOFF
    QCOMPARE(line.droppedBytes(), 50);
    QCOMPARE(line.bufferFill(), 100);
    QCOMPARE(line.receivedBytes(), 150);
}

void TestSimLine::queriesAreAnsweredWhilePrintingWaits()
{
    Interpreter printer;
    WireModel line(printer, {0, 4096, 80, true});
    line.setPaperOut(true);
    QCOMPARE(line.receive(hex("'abc' 0A 10")), QByteArray());
    QCOMPARE(line.receive(hex("04")), QByteArray()); // its n may follow
    QCOMPARE(line.advance(0.001), QByteArray(1, char(Interpreter::Fixed | Interpreter::PaperOut)));
    QCOMPARE(line.receive(hex("10 04 04")), QByteArray(1, char(Interpreter::Fixed | 0x60))); // paper end
    line.advance(1.0);
    QCOMPARE(printer.paper().rows(), 0); // paused: nothing printed
    QVERIFY(line.receive(hex("10 05")).startsWith("ZPC3x virtual controller"));
    line.setPaperOut(false);
    line.advance(1.0);
    QVERIFY(printer.paper().rows() > 0);
    QCOMPARE(printer.takeReplies(), QByteArray()); // not answered twice
    // The log gives each query the answer that went back, though it was processed later.
    QCOMPARE(logged(printer, {"printerState", "transmitRealTimeStatus"}), QStringList({"-> 32", "4 -> 72"}));
    // With the call-back on, a change of status is sent unasked.
    line.receive(hex("1D 61 01"));
    line.advance(0.01);
    line.setCoverOpen(true);
    QCOMPARE(line.advance(0.01), QByteArray(1, char(Interpreter::Fixed | Interpreter::CoverOpen)));
}

void TestSimLine::paperOutChangesTheStatusTheToolShows()
{
    SimWindow window(0, WireSettings{});
    QVERIFY(window.driver().plugIn());
    MainWindow tool;
    connectTo(tool, window.driver().path());
    press(tool, "pushButtonStatus");
    QTRY_COMPARE(consoleText(tool), QString(QChar(Interpreter::Fixed)));
    window.findChild<QAction *>("actionPaperOut")->trigger();
    press(tool, "pushButtonStatus");
    QTRY_COMPARE(consoleText(tool), QString(QChar(Interpreter::Fixed | Interpreter::PaperOut)));
    QCOMPARE(window.lastReply(), QStringLiteral("Last reply: 32 (paper out)"));
    window.findChild<QAction *>("actionPaperOut")->trigger();
    window.findChild<QAction *>("actionCoverOpen")->trigger();
    press(tool, "pushButtonStatus");
    QTRY_COMPARE(consoleText(tool), QString(QChar(Interpreter::Fixed | Interpreter::CoverOpen)));
}

void TestSimLine::unplugAndPlugIn()
{
    SimWindow window(0, WireSettings{});
    QVERIFY(window.driver().plugIn());
    MainWindow tool;
    connectTo(tool, window.driver().path());
    ModalCloser closer;
    closer.arm();
    window.findChild<QAction *>("actionUnplug")->trigger();
    QTRY_VERIFY(closer.done());
    QCOMPARE(closer.title, QStringLiteral("Critical Error"));
    QCOMPARE(statusText(tool), QStringLiteral("Disconnected"));
    QVERIFY(!window.driver().isPluggedIn());

    window.findChild<QAction *>("actionPlugIn")->trigger();
    QVERIFY(window.driver().isPluggedIn());
    QVERIFY(connectTo(tool, window.driver().path()).startsWith(QStringLiteral("Connected to")));
    press(tool, "pushButtonVersion");
    QTRY_VERIFY(consoleText(tool).startsWith(QStringLiteral("ZPC3x virtual controller")));
}

void TestSimLine::windowHighlightsRowsAndClears()
{
    SimWindow window(0, WireSettings{});
    window.show();
    window.interpreter().feed(jobs::receipt(jobs::Cut::Full).stream());
    window.refresh();
    auto *view = window.findChild<QListView *>("logView");
    const auto &log = window.interpreter().log();
    int picture = -1, total = -1;
    for (int i = 0; i < log.size(); ++i) {
        if (log.at(i).name == QLatin1String("picturePrintH"))
            picture = i;
        if (log.at(i).args.startsWith(QLatin1String("Total:")))
            total = i;
    }
    view->setCurrentIndex(view->model()->index(picture, 0));
    QCOMPARE(window.highlightedRows(), std::make_pair(0, 255)); // the logo's rows
    view->setCurrentIndex(view->model()->index(total, 0));
    QCOMPARE(window.highlightedRows(), std::make_pair(log.at(total).firstRow, log.at(total).firstRow + 23));

    window.findChild<QAction *>("actionClearPaper")->trigger();
    QCOMPARE(window.interpreter().paper().rows(), 0);
    QCOMPARE(view->model()->rowCount(), 0);
}

void TestSimLine::savePaperWritesRegularFilesOnly_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("written");
    QTest::newRow("a new file") << QStringLiteral("new") << true;
    QTest::newRow("a regular file, replaced") << QStringLiteral("regular") << true;
    QTest::newRow("a pipe") << QStringLiteral("pipe") << false;
    QTest::newRow("a device node") << QStringLiteral("device") << false;
}

void TestSimLine::savePaperWritesRegularFilesOnly()
{
    QFETCH(QString, kind);
    QFETCH(bool, written);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("paper.png"));
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("regular")) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    } else if (kind == QLatin1String("pipe")) {
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
    } else if (kind == QLatin1String("device")) {
        // The null device's numbers, in a folder of the test's own: /dev/null itself is never risked.
        if (::mknod(name.constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
            QSKIP("no device nodes may be made here");
    }
    struct stat before = {};
    ::lstat(name.constData(), &before);

    SimWindow window(0, WireSettings{});
    window.interpreter().feed("paper\n");
    QString error;
    QCOMPARE(window.savePaper(path, error), written);
    struct stat after = {};
    QCOMPARE(::lstat(name.constData(), &after), 0);
    if (written) {
        QVERIFY(error.isEmpty());
        QVERIFY(S_ISREG(after.st_mode));
        QCOMPARE(QImage(path).height(), window.interpreter().paper().rows());
    } else {
        QVERIFY2(error.contains(QLatin1String("not a regular file")), qPrintable(error));
        QCOMPARE(after.st_mode, before.st_mode); // still the pipe or the device it was
        QCOMPARE(after.st_ino, before.st_ino);
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
        QStringList(QStringLiteral("paper.png"))); // nothing left beside it
}

void TestSimLine::longReplyTakesNoRoomFromThePaper()
{
    SimWindow window(0, WireSettings{});
    window.resize(900, 700);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *paper = window.findChild<QWidget *>("paperView");
    auto *reply = window.findChild<QWidget *>("replyLabel");
    const int paperWidth = paper->width();
    const QString longAnswer = QStringLiteral("firmware %1").arg(QString(400, QLatin1Char('x')));
    emit window.driver().answered(longAnswer.toLatin1());
    QTest::qWait(50);
    QCOMPARE(window.lastReply(), QStringLiteral("Last reply: %1").arg(Printhead::describeReply(longAnswer.toLatin1())));
    QCOMPARE(paper->width(), paperWidth);
    QVERIFY(reply->width() < window.width());
    QCOMPARE(window.width(), 900);
}

void TestSimLine::servesTcpClientsInTurnAndWhole()
{
    Interpreter printer;
    LineDriver driver(printer, {0, 4096, 0, true}); // the paper as fast as possible
    QVERIFY(!driver.serveTcp(QStringLiteral("localhost:9x")));
    QVERIFY(driver.serveTcp(QStringLiteral("0"), 0.3)); // any free port on 127.0.0.1
    QVERIFY(driver.tcpAddress().startsWith(QStringLiteral("127.0.0.1:")));
    const quint16 port = driver.tcpAddress().section(QLatin1Char(':'), 1).toUShort();
    // The same controller, its answers on the socket and without flow control.
    QTcpSocket talker;
    talker.connectToHost(QHostAddress::LocalHost, port);
    QTRY_COMPARE(driver.tcpClient(), QStringLiteral("127.0.0.1:%1").arg(talker.localPort()));
    talker.write(hex("10 04 01 1D 49 01"));
    QByteArray answers;
    QTRY_VERIFY((answers += talker.readAll()).size() >= 2);
    QCOMPARE(answers, hex("12 33"));
    // It falls silent while others wait: one that leaves inside a block promising 4 GB, then 30
    // that each send a job and close at once. Each is read whole and starts a fresh stream.
    sendAndClose(port, hex("1D 38 4C FF FF FF FF 30 70") + QByteArray(30, 'x'));
    QStringList expected;
    for (int client = 0; client < 30; ++client) {
        QByteArray job;
        for (int line = 0; line < 40; ++line) {
            expected << QStringLiteral("client %1 line %2").arg(client).arg(line);
            job += expected.last().toLatin1() + '\n';
        }
        sendAndClose(port, job);
    }
    // One more asks for its status first and closes while 200 KB are still on their way: the
    // answer must not reach it before it has sent them all.
    QTcpSocket asker;
    asker.connectToHost(QHostAddress::LocalHost, port);
    QByteArray job = hex("10 04 01");
    for (int line = 0; line < 5000; ++line) {
        expected << QStringLiteral("asker line %1 of a long job").arg(line);
        job += expected.last().toLatin1() + '\n';
    }
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

void TestSimLine::answersGoBackWhereTheyWereAsked()
{
    Interpreter printer;
    LineDriver driver(printer, {0, 4096, 0, true});
    QVERIFY(driver.plugIn());
    QVERIFY(driver.serveTcp(QStringLiteral("0")));
    const int host = ::open(QFile::encodeName(driver.path()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(host >= 0);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, driver.tcpAddress().section(QLatin1Char(':'), 1).toUShort());
    QTRY_VERIFY(!driver.tcpClient().isEmpty());
    // Real-time queries are answered as they arrive, the others as they are processed.
    const QByteArray serialAsks = hex("10 04 01 1D 72 01"), networkAsks = hex("1D 49 01");
    QByteArray onSerial, onNetwork;
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(::write(host, serialAsks.constData(), size_t(serialAsks.size())), ssize_t(serialAsks.size()));
        client.write(networkAsks);
        QTest::qWait(5);
    }
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            char buf[256];
            for (ssize_t n; (n = ::read(host, buf, sizeof buf)) > 0;)
                onSerial.append(buf, n);
            onNetwork += client.readAll();
            return onSerial.size() >= 40 && onNetwork.size() >= 20;
        }(),
        5000);
    QTest::qWait(50);
    onNetwork += client.readAll();
    ::close(host);
    QCOMPARE(onNetwork, hex("33").repeated(20));
    QCOMPARE(onSerial.count('\x12'), 20);
    QCOMPARE(onSerial.count('\0'), 20);
}

void TestSimLine::textWithoutLineFeedAtTheEnd_data()
{
    // A stream, and the same stream with its last line feed: what is left without one at the end
    // never prints, in a rendering, in the window (a TCP client that leaves) and on Expected Paper.
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QByteArray>("printed");
    QTest::newRow("a last line without its line feed") << QByteArray("First\nLast") << QByteArray("First\n");
    QTest::newRow("a picture, then text")
        << hex("1D 76 30 00 01 00 02 00 FF FF 'tail'") << hex("1D 76 30 00 01 00 02 00 FF FF");
    QTest::newRow("text after a cut") << hex("'cut here' 0A 1B 69 'and more'") << hex("'cut here' 0A 1B 69");
}

void TestSimLine::textWithoutLineFeedAtTheEnd()
{
    QFETCH(QByteArray, stream);
    QFETCH(QByteArray, printed);
    Interpreter rendered; // as --render reads a file
    rendered.feed(stream);
    rendered.finish();
    Interpreter reference;
    reference.feed(printed);
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

void TestSimLine::statusAgreesWithTheToolsModel_data() { addTableRows(QStringLiteral("statusagree.txt")); }

void TestSimLine::statusAgreesWithTheToolsModel()
{
    QFETCH(QStringList, row);
    Interpreter printer;
    WireModel wire(printer, {0, 4096, 80, true});
    ExpectedPrinter expected;
    QByteArray answered, foreseen;
    const auto foresee = [&foreseen](const LogEntry &e) {
        const qsizetype at = e.args.indexOf(QLatin1String("-> "));
        if (at >= 0 && (e.name == QLatin1String("printerState") || e.name == QLatin1String("transmitRealTimeStatus")))
            foreseen += QByteArray::fromHex(e.args.mid(at + 3).toLatin1());
    };
    for (const QString &piece : row[1].split(QStringLiteral(" / "))) {
        const QByteArray bytes = hex(piece.toLatin1());
        answered += wire.receive(bytes);
        for (int tick = 0; tick < 250; ++tick) // a second of quiet: everything prints
            answered += wire.advance(0.004);
        const ExpectedPrinter::Decoded decoded = expected.feed(bytes, true);
        for (const LogEntry &e : decoded.added)
            foresee(e);
    }
    answered.removeIf([](char c) { return c == proto::XON || c == proto::XOFF; });
    answered.replace(proto::firmwareReply(0), ""); // the status bytes are compared
    QCOMPARE(answered.toHex(' '), foreseen.toHex(' '));
}

void TestSimLine::halfClosingClientsGetTheirAnswers()
{
    Interpreter printer;
    LineDriver driver(printer, {0, 4096, 80, true});
    QVERIFY(driver.serveTcp(QStringLiteral("0")));
    const quint16 port = driver.tcpAddress().section(QLatin1Char(':'), 1).toUShort();
    // 200 clients, each asking for the status and closing its sending side, as
    // `printf '\x10\x04' | socat - TCP:...` does; each reads until the controller closes. They
    // come fifty at a time, as the listen queue holds 128.
    constexpr int clients = 200, wave = 50;
    QList<int> sockets;
    QList<QByteArray> answers(clients);
    QList<bool> closed(clients, false);
    const auto allClosed = [&] {
        for (int i = 0; i < sockets.size(); ++i) {
            char buf[16];
            for (ssize_t n; !closed[i] && (n = ::recv(sockets[i], buf, sizeof buf, MSG_DONTWAIT)) >= 0;) {
                if (n == 0)
                    closed[i] = true;
                answers[i].append(buf, n);
            }
        }
        return !closed.mid(0, sockets.size()).contains(false);
    };
    for (int i = 0; i < clients; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QVERIFY(::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0);
        QCOMPARE(::send(fd, "\x10\x04", 2, 0), ssize_t(2));
        QCOMPARE(::shutdown(fd, SHUT_WR), 0);
        sockets << fd;
        if (sockets.size() % wave == 0)
            QTRY_VERIFY_WITH_TIMEOUT(allClosed(), 30000);
    }
    for (const int fd : std::as_const(sockets))
        ::close(fd);
    QCOMPARE(answers, QList<QByteArray>(clients, hex("12")));
}

void TestSimLine::logListsEveryCommandWhole_data()
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

void TestSimLine::logListsEveryCommandWhole()
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
    QByteArray job;
    for (const QByteArray &piece : std::as_const(pieces)) {
        if (!job.isEmpty())
            QTest::qWait(500);
        client.write(piece);
        QTRY_VERIFY(client.bytesToWrite() == 0);
        job += piece;
    }
    QTRY_VERIFY_WITH_TIMEOUT((out += sim.readAllStandardOutput()).contains("printLF"), 20000);
    client.disconnectFromHost();
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    out += sim.readAllStandardOutput();
    QVERIFY2(out.contains(listed + '\n'), out.right(300).constData());
    QVERIFY(!out.contains(never));
    // One line a command: every reset of the stream is listed.
    QCOMPARE(out.count("  printerSoftInit\n"), job.count("\x1B@"));
}

void TestSimLine::windowListRollsOn()
{
    SimWindow window(0, WireSettings{});
    window.interpreter().feed(hex("1B 40").repeated(60000) + "THE LAST LINE\n");
    window.refresh();
    const QAbstractItemModel *list = window.findChild<QListView *>("logView")->model();
    const qint64 before = window.interpreter().rolledOff();
    QVERIFY(before > 0);
    QCOMPARE(list->rowCount(), window.interpreter().log().size() + 1);
    QCOMPARE(list->index(0, 0).data().toString(), QStringLiteral("… %1 earlier commands not kept").arg(before));
    QCOMPARE(
        list->index(list->rowCount() - 2, 0).data().toString(), QStringLiteral("  120000  printStr THE LAST LINE"));
    QCOMPARE(list->index(list->rowCount() - 1, 0).data().toString(), QStringLiteral("  120013  printLF "));
}

void TestSimLine::jobsFromBothEndsPrintUnmixed()
{
    Interpreter printer;
    LineDriver driver(printer, {0, 4096, 0, true});
    QVERIFY(driver.plugIn());
    QVERIFY(driver.serveTcp(QStringLiteral("0")));
    const int host = ::open(QFile::encodeName(driver.path()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(host >= 0);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, driver.tcpAddress().section(QLatin1Char(':'), 1).toUShort());
    QTRY_VERIFY(!driver.tcpClient().isEmpty());
    // Both jobs go out at once, a few bytes at a time, each piece a little after the other's.
    QByteArray ptyJob, tcpJob;
    QStringList lines;
    for (int i = 0; i < 5; ++i) {
        lines << QStringLiteral("PTY LINE %1 ENDS HERE").arg(i, 2, 10, QLatin1Char('0'))
              << QStringLiteral("TCP LINE %1 ENDS HERE").arg(i, 2, 10, QLatin1Char('0'));
        ptyJob += lines.at(lines.size() - 2).toLatin1() + '\n';
        tcpJob += lines.last().toLatin1() + '\n';
    }
    for (qsizetype at = 0; at < ptyJob.size(); at += 7) {
        const QByteArray piece = ptyJob.mid(at, 7);
        QCOMPARE(::write(host, piece.constData(), size_t(piece.size())), ssize_t(piece.size()));
        QTest::qWait(3);
        client.write(tcpJob.mid(at, 7));
        client.flush();
        QTest::qWait(3);
    }
    QTRY_VERIFY_WITH_TIMEOUT(logged(printer, {QStringLiteral("printLF")}).size() == 10, 5000);
    ::close(host);
    // Each line printed whole, from one end; all of both jobs, nothing lost.
    const QStringList printed = logged(printer, {QStringLiteral("printStr")});
    QCOMPARE(printed.size(), 10);
    for (const QString &line : printed)
        QVERIFY2(lines.contains(line), qPrintable(line));
    QCOMPARE(QSet<QString>(printed.begin(), printed.end()), QSet<QString>(lines.begin(), lines.end()));
}

void TestSimLine::hostFlowControlDecidesOverrun_data()
{
    QTest::addColumn<bool>("honours");
    QTest::newRow("host honours XOFF") << true;
    QTest::newRow("host ignores XOFF") << false;
}

void TestSimLine::hostFlowControlDecidesOverrun()
{
    // 300 lines at 400 mm/s, three times the buffer, written as fast as the host may.
    QFETCH(bool, honours);
    Interpreter printer;
    LineDriver driver(printer, {0, 4096, 400, true});
    QVERIFY(driver.plugIn());
    const int host = ::open(QFile::encodeName(driver.path()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(host >= 0);
    termios t{};
    QVERIFY(::tcgetattr(host, &t) == 0);
    t.c_iflag = honours ? t.c_iflag | IXON : t.c_iflag & ~IXON;
    QVERIFY(::tcsetattr(host, TCSANOW, &t) == 0);
    QByteArray job;
    for (int line = 0; line < 300; ++line)
        job += QByteArray::number(line).leftJustified(30, '.') + '\n';
    QElapsedTimer clock;
    clock.start();
    for (qsizetype at = 0; at < job.size() && clock.elapsed() < 15000;) {
        const ssize_t n = ::write(host, job.constData() + at, size_t(job.size() - at));
        if (n > 0)
            at += n;
        else
            QTest::qWait(2);
    }
    ::close(host);
    if (honours) {
        QTRY_VERIFY_WITH_TIMEOUT(logged(printer, {"printLF"}).size() == 300, 15000);
        const double paperSeconds = printer.paper().rows() / (400.0 * 8);
        const double ratio = clock.elapsed() / 1000.0 / paperSeconds;
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

QTEST_MAIN(TestSimLine)
#include "tst_simline.moc"
