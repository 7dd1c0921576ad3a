#include "TestSupport.h"

#include "app/MainWindow.h"
#include "tool/Launch.h"
#include "traffic/TrafficLog.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

// printer-ruvela between a host application and the controller: the host writes through the
// monitor's pseudo-terminal or TCP port, the controller is the far end of a real line.
class TestMonitor : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void forwardsEveryByteBothWays();
    void controllerPrintsWhatItWouldPrintStraight();
    void holdsTheHostBackWhileTheControllerHolds();
    void hostMayCloseAndReopen();
    void tcpClientsAreCutAtTheCommandTheyReached();
    void halfClosedClientGetsItsAnswers();
    void lostControllerLineHangsTheHostUp();
    void stopsBySignalWithItsTrafficWritten();
    void windowMonitorsAndAddsNothingOfItsOwn();
    void stopNamesWhatTheHostsLeftUnread();

private:
    bool start(const QStringList &extra = {});
    int openHost();
    QByteArray readHost(int fd, qsizetype n, int timeoutMs = 5000);
    QTemporaryDir dir;
    FarEnd *controller = nullptr;
    QProcess *monitor = nullptr;
    QString hostLink, traffic;
    quint16 tcpPort = 0;
};

namespace {

bool finished(QProcess &program, int timeoutMs)
{
    return program.state() == QProcess::NotRunning || program.waitForFinished(timeoutMs);
}

// Writes all of bytes to a non-blocking descriptor while the event loop runs; false when it
// could not within the time.
bool writeAll(int fd, const QByteArray &bytes, int timeoutMs = 20000)
{
    QElapsedTimer clock;
    clock.start();
    qsizetype done = 0;
    while (done < bytes.size() && clock.elapsed() < timeoutMs) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(qMin<qsizetype>(bytes.size() - done, 4096)));
        if (n > 0)
            done += n;
        else
            QTest::qWait(2);
    }
    return done == bytes.size();
}

// Writes bytes to the host's end while the controller's end is read, as both would run at once,
// until expected bytes reached the controller (those written before count too); returns them.
QByteArray pass(int host, const QByteArray &bytes, FarEnd &controller, qsizetype expected)
{
    QByteArray arrived;
    QElapsedTimer clock;
    clock.start();
    qsizetype done = 0;
    while (done < bytes.size() && clock.elapsed() < 30000) {
        const ssize_t n = ::write(host, bytes.constData() + done, size_t(qMin<qsizetype>(bytes.size() - done, 4096)));
        if (n > 0)
            done += n;
        arrived += controller.read(1 << 20, 20, 1);
    }
    return arrived + controller.read(expected - arrived.size(), 30000);
}

} // namespace

void TestMonitor::init()
{
    controller = new FarEnd;
    hostLink = dir.filePath(QStringLiteral("pos"));
    traffic = dir.filePath(QStringLiteral("traffic-%1.txt").arg(QTest::currentTestFunction()));
    // A free port, found by asking the system for one.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    tcpPort = probe.serverPort();
    probe.close();
    monitor = new QProcess;
}

void TestMonitor::cleanup()
{
    if (monitor->state() != QProcess::NotRunning) {
        monitor->terminate();
        finished(*monitor, 5000);
    }
    delete monitor;
    delete controller;
}

bool TestMonitor::start(const QStringList &extra)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    monitor->setProcessEnvironment(env);
    monitor->start(QStringLiteral(PRINTER_RUVELA),
        QStringList{"--port", controller->path(), "--monitor", hostLink, "--monitor-tcp", QString::number(tcpPort),
            "--traffic", traffic}
            + extra);
    if (!monitor->waitForStarted(10000))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000 && monitor->state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, tcpPort);
        if (QFileInfo(hostLink).isSymLink() && probe.waitForConnected(100)) {
            probe.abort(); // a client that sends nothing and leaves
            return true;
        }
        QTest::qWait(50);
    }
    qWarning("the monitor did not start: %s", monitor->readAllStandardError().constData());
    return false;
}

int TestMonitor::openHost()
{
    // As a host application opens its serial port: raw, without flow control of its own.
    const int fd = ::open(QFile::encodeName(hostLink).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    return fd;
}

QByteArray TestMonitor::readHost(int fd, qsizetype n, int timeoutMs)
{
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    char buf[4096];
    while (out.size() < n && clock.elapsed() < timeoutMs) {
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got > 0)
            out.append(buf, got);
        else
            QTest::qWait(5);
    }
    return out;
}

// The streams two client libraries write, one after another, as a point-of-sale application
// would send them, and a picture of 48 x 2000 bytes of every value, flow-control bytes among them.
static QByteArray clientStreams()
{
    QTemporaryDir streams;
    QProcess make;
    make.setWorkingDirectory(QStringLiteral(RUVELA_CORPUS_DIR));
    make.start(
        QStandardPaths::findExecutable(QStringLiteral("node")), {QStringLiteral("make-streams.mjs"), streams.path()});
    if (!make.waitForFinished(60000) || make.exitCode() != 0)
        return {};
    QByteArray stream;
    for (const QJsonValue &entry : QJsonDocument::fromJson(make.readAllStandardOutput()).array()) {
        QFile file(streams.filePath(entry[QLatin1String("file")].toString()));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        stream += file.readAll();
    }
    stream += hex("1D 76 30 00 30 00 D0 07");
    for (int i = 0; i < 48 * 2000; ++i)
        stream += char(i * 7 + i / 256);
    return stream;
}

void TestMonitor::forwardsEveryByteBothWays()
{
    const QByteArray stream = clientStreams();
    QVERIFY2(stream.size() > 90000, qPrintable(QString::number(stream.size())));
    QVERIFY(start({"--flow", "none"}));
    const int host = openHost();
    QVERIFY(host >= 0);
    const QByteArray arrived = pass(host, stream, *controller, stream.size());
    QCOMPARE(arrived.size(), stream.size());
    QVERIFY(arrived == stream);
    const QByteArray answers = QByteArray("\x12", 1) + "ZPC3x 1.0\r\n" + QByteArray("\x13\x11\x00\xFF", 4);
    controller->writeAll(answers);
    QCOMPARE(readHost(host, answers.size()).toHex(' '), answers.toHex(' '));
    ::close(host);
}

void TestMonitor::controllerPrintsWhatItWouldPrintStraight()
{
    // The virtual controller behind the monitor: it reads the same commands as from the stream
    // rendered straight, and the host gets its answers byte for byte. The stream ends with
    // queries, the last a buffered one, answered once everything before it was carried out.
    const QByteArray stream = clientStreams() + hex("10 04 10 05 1D 49 41");
    QVERIFY(stream.size() > 90000);
    const QString streamFile = dir.filePath(QStringLiteral("stream.bin"));
    QFile out(streamFile);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(stream) == stream.size());
    out.close();
    const QString simLink = dir.filePath(QStringLiteral("zpc3x"));
    QProcess sim;
    sim.start(QStringLiteral(ZPC3X_SIM), {"--no-window", "--speed", "max", "--link", simLink, "--log"});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(simLink).isSymLink(), 10000);
    monitor->start(QStringLiteral(PRINTER_RUVELA), {"--port", simLink, "--monitor", hostLink});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(hostLink).isSymLink(), 10000);
    // What the controller answers the stream sent straight, from a second one of its kind.
    const QByteArray last = hex("'ZPC3x virtual controller 1.0, head type 0 (384 dots)' 0D 0A '_1.0' 00");
    auto exchange = [this, &stream, &last](const QString &path) {
        const QString saved = hostLink;
        hostLink = path;
        const int fd = openHost();
        hostLink = saved;
        // A host that honours XOFF, as the tool itself does toward the controller.
        termios t{};
        ::tcgetattr(fd, &t);
        t.c_iflag |= IXON;
        ::tcsetattr(fd, TCSANOW, &t);
        QByteArray answers;
        if (fd < 0 || !writeAll(fd, stream, 60000))
            return answers;
        QElapsedTimer clock;
        clock.start();
        while (!answers.endsWith(last) && clock.elapsed() < 60000)
            answers += readHost(fd, 1, 100);
        ::close(fd);
        return answers;
    };
    const QString straightLink = dir.filePath(QStringLiteral("zpc3x-straight"));
    QProcess straightSim;
    straightSim.start(QStringLiteral(ZPC3X_SIM), {"--no-window", "--speed", "max", "--link", straightLink});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(straightLink).isSymLink(), 10000);
    const QByteArray straightAnswers = exchange(straightLink);
    straightSim.terminate();
    QVERIFY(finished(straightSim, 10000));
    QVERIFY(straightAnswers.endsWith(hex("12") + last));
    QCOMPARE(exchange(hostLink).toHex(' '), straightAnswers.toHex(' '));
    sim.terminate();
    QVERIFY(finished(sim, 10000));
    QProcess render;
    render.start(QStringLiteral(ZPC3X_SIM), {"--render", streamFile, "-o", dir.filePath("straight.png"), "--log"});
    QVERIFY(finished(render, 60000));
    // The commands each read, in the order each carried them out; real-time queries are logged
    // where they arrived, so they are left out of the comparison.
    auto commands = [](const QByteArray &log) {
        QStringList lines;
        for (const QByteArray &line : log.split('\n')) {
            const QString text = QString::fromUtf8(line);
            if (QRegularExpression(QStringLiteral("^\\s*\\d+  ")).match(text).hasMatch()
                && !text.contains(QStringLiteral("printerState")) && !text.contains(QStringLiteral("getFirmwareInfo")))
                lines << text;
        }
        return lines;
    };
    const QStringList live = commands(sim.readAllStandardOutput());
    const QStringList straight = commands(render.readAllStandardOutput());
    QVERIFY(live.size() > 100);
    QCOMPARE(live, straight);
}

void TestMonitor::holdsTheHostBackWhileTheControllerHolds()
{
    QVERIFY(start());
    const int host = openHost();
    QVERIFY(host >= 0);
    controller->writeAll(QByteArray(1, '\x13')); // XOFF: the controller's buffer is full
    QTest::qWait(200);
    QByteArray job;
    for (int i = 0; job.size() < (1 << 20); ++i)
        job += QStringLiteral("line %1 of a long job\n").arg(i, 6, 10, QLatin1Char('0')).toLatin1();
    // The host writes as long as the line takes it; a held line stops it well short of the end.
    qsizetype written = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 2000 && written < job.size()) {
        const ssize_t n = ::write(host, job.constData() + written, size_t(qMin<qsizetype>(job.size() - written, 4096)));
        if (n > 0)
            written += n;
        else
            QTest::qWait(5);
    }
    const QByteArray duringHold = controller->read(1 << 20, 200, 100);
    QVERIFY2(written < job.size() / 2, qPrintable(QString::number(written)));
    controller->writeAll(QByteArray(1, '\x11')); // XON
    const QByteArray rest = pass(host, job.mid(written), *controller, job.size() - duringHold.size());
    QCOMPARE(duringHold.size() + rest.size(), job.size());
    QVERIFY(duringHold + rest == job);
    ::close(host);
}

void TestMonitor::hostMayCloseAndReopen()
{
    QVERIFY(start({"--flow", "none"}));
    for (const QByteArray &part : {QByteArray("first run\n"), QByteArray("after a restart\n")}) {
        const int host = openHost();
        QVERIFY(host >= 0);
        QVERIFY(writeAll(host, part));
        QCOMPARE(controller->read(part.size()), part);
        ::close(host);
        QTest::qWait(100);
    }
    QCOMPARE(monitor->state(), QProcess::Running);
}

void TestMonitor::tcpClientsAreCutAtTheCommandTheyReached()
{
    QVERIFY(start({"--flow", "none"}));
    auto send = [this](const QByteArray &bytes) {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, tcpPort);
        QVERIFY(client.waitForConnected(5000));
        client.write(bytes);
        QVERIFY(client.waitForBytesWritten(5000));
        client.disconnectFromHost();
        QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
    };
    // Text, then a command without its parameter: the next job is not its parameter.
    send(hex("'Job 1' 0A 1B 61"));
    send(hex("'Job 2' 0A"));
    QCOMPARE(controller->read(12, 5000, 700), hex("'Job 1' 0A 'Job 2' 0A"));
    // A picture whose data stopped short: blank data ends it where the controller expects.
    send(hex("1D 76 30 00 01 00 04 00 FF"));
    send(hex("'Job 3' 0A"));
    QCOMPARE(controller->read(20, 5000, 700), hex("1D 76 30 00 01 00 04 00 FF 00 00 00 'Job 3' 0A"));
    monitor->terminate();
    QVERIFY(finished(*monitor, 10000));
    QFile log(traffic);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString rows = QString::fromUtf8(log.readAll());
    QVERIFY2(rows.contains(QStringLiteral("left inside a command: its last 2 bytes (1B 61) were not passed on")),
        qPrintable(rows));
    QVERIFY(rows.contains(QStringLiteral("left inside a command's data: 3 bytes of zeros end it")));
}

void TestMonitor::halfClosedClientGetsItsAnswers()
{
    QVERIFY(start({"--flow", "none"}));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, tcpPort);
    QVERIFY(client.waitForConnected(5000));
    client.write(hex("10 04"));
    QVERIFY(client.waitForBytesWritten(5000));
    ::shutdown(int(client.socketDescriptor()), SHUT_WR);
    QCOMPARE(controller->read(2, 5000), hex("10 04"));
    QTest::qWait(50);
    controller->writeAll(hex("12"));
    QTRY_COMPARE_WITH_TIMEOUT(client.bytesAvailable(), qint64(1), 5000);
    QCOMPARE(client.readAll(), hex("12"));
    QTRY_COMPARE_WITH_TIMEOUT(client.state(), QAbstractSocket::UnconnectedState, 5000);
}

void TestMonitor::lostControllerLineHangsTheHostUp()
{
    QVERIFY(start({"--flow", "none"}));
    const int host = openHost();
    QVERIFY(host >= 0);
    QVERIFY(writeAll(host, "before the loss\n"));
    QCOMPARE(controller->read(16), QByteArray("before the loss\n"));
    QTest::qWait(300); // the port has reported them as written
    controller->close();
    QVERIFY(finished(*monitor, 10000));
    QCOMPARE(monitor->exitCode(), 1);
    const QString said = QString::fromUtf8(monitor->readAllStandardError());
    QVERIFY2(said.contains(QStringLiteral("is lost")), qPrintable(said));
    QVERIFY(!QFileInfo(hostLink).isSymLink());
    // The host's end is hung up: reading it says so rather than waiting.
    char byte;
    QTRY_VERIFY(::read(host, &byte, 1) <= 0 && errno != EAGAIN);
    ::close(host);
    QFile log(traffic);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString rows = QString::fromUtf8(log.readAll());
    QVERIFY2(rows.contains(QStringLiteral("16 bytes reached the controller")), qPrintable(rows));
}

void TestMonitor::stopsBySignalWithItsTrafficWritten()
{
    QVERIFY(start({"--flow", "none"}));
    const int host = openHost();
    QVERIFY(host >= 0);
    QVERIFY(writeAll(host, hex("'Hello' 0A 10 04")));
    QCOMPARE(controller->read(8), hex("'Hello' 0A 10 04"));
    controller->writeAll(hex("12"));
    QCOMPARE(readHost(host, 1), hex("12"));
    ::close(host);
    ::kill(pid_t(monitor->processId()), SIGTERM);
    QVERIFY(finished(*monitor, 10000));
    QCOMPARE(monitor->exitStatus(), QProcess::NormalExit);
    QCOMPARE(monitor->exitCode(), 0);
    QVERIFY(!QFileInfo(hostLink).isSymLink());
    QFile log(traffic);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    auto has = [&rows](const QString &start) {
        return std::any_of(
            rows.cbegin(), rows.cend(), [&](const QString &r) { return r.section('\t', 1).startsWith(start); });
    };
    QVERIFY(has(QStringLiteral("host → controller\t0\tprintStr\tHello")));
    QVERIFY(has(QStringLiteral("host → controller\t5\tprintLF")));
    QVERIFY(has(QStringLiteral("host → controller\t6\tprinterState")));
    QVERIFY(has(QStringLiteral("controller → host\t0\tstatus: ready")));
}

void TestMonitor::windowMonitorsAndAddsNothingOfItsOwn()
{
    MainWindow tool;
    tool.show();
    tool.start(parseLaunch({"printer-ruvela", "--port", controller->path(), "--flow", "none", "--connect"}));
    QTRY_VERIFY(statusText(tool).startsWith(QStringLiteral("Connected to")));
    tool.findChild<QAction *>("actionMonitor")->trigger();
    QTRY_VERIFY(tool.findChild<QLineEdit *>("monitorLink"));
    tool.findChild<QLineEdit *>("monitorLink")->setText(hostLink);
    tool.findChild<QPushButton *>("monitorStart")->click();
    QTRY_VERIFY(QFileInfo(hostLink).isSymLink());
    QCOMPARE(statusText(tool), QStringLiteral("Monitoring: %1 ↔ %2").arg(hostLink, controller->path()));
    // The buttons and the send line wait, and say why.
    auto *tabs = tool.findChild<QTabWidget *>("mainTabsRuvela");
    QVERIFY(!tabs->isEnabled());
    QVERIFY(tabs->toolTip().startsWith(QStringLiteral("Monitoring a host application")));
    QVERIFY(!tool.findChild<QWidget *>("lineEditSend")->isEnabled());
    const int host = openHost();
    QVERIFY(host >= 0);
    QVERIFY(writeAll(host, hex("'Hi' 0A 10 04")));
    QCOMPARE(controller->read(5), hex("'Hi' 0A 10 04"));
    controller->writeAll(hex("32"));
    QCOMPARE(readHost(host, 1), hex("32"));
    ::close(host);
    // The host's query and the controller's answer, in Traffic with their sides and in words.
    auto *log = tool.findChild<TrafficLog *>();
    auto rowWith = [log](const QString &direction, const QString &what) {
        for (int i = 0; i < log->rowCount(); ++i) {
            if (TrafficLog::directionName(log->row(i).direction, log->row(i).relayed) == direction
                && log->row(i).what == what)
                return true;
        }
        return false;
    };
    QTRY_VERIFY(rowWith(QStringLiteral("host → controller"), QStringLiteral("printStr")));
    QTRY_VERIFY(rowWith(QStringLiteral("controller → host"), QStringLiteral("status: paper out")));
    QTRY_VERIFY(tool.findChild<QLabel *>("controllerStatusLabel")->text() == QStringLiteral("Controller: paper out"));
    tool.findChild<QPushButton *>("monitorStop")->click();
    QVERIFY(!QFileInfo(hostLink).isSymLink());
    QVERIFY(tabs->isEnabled());
    QVERIFY(statusText(tool).startsWith(QStringLiteral("Connected to")));
    // Monitoring again, the controller's line is lost: the host's end goes with it at once.
    tool.findChild<QPushButton *>("monitorStart")->click();
    QTRY_VERIFY(QFileInfo(hostLink).isSymLink());
    ModalCloser lost;
    lost.arm();
    controller->close();
    QTRY_VERIFY(lost.done());
    QVERIFY(lost.text.contains(QStringLiteral("is lost")));
    QTRY_VERIFY(!QFileInfo(hostLink).isSymLink());
    QVERIFY(tabs->isEnabled());
}

void TestMonitor::stopNamesWhatTheHostsLeftUnread()
{
    // The controller holds the line, so the terminal's host is no longer read; a TCP client waits
    // its turn behind it. Stopped then, both are told what never went on.
    QVERIFY(start());
    const int host = openHost();
    QVERIFY(host >= 0);
    controller->writeAll(QByteArray(1, '\x13')); // XOFF
    QTest::qWait(200);
    const QByteArray job = QByteArray("Line of a receipt\n").repeated(20000);
    qsizetype written = 0;
    QElapsedTimer clock;
    clock.start();
    while (written < job.size() && clock.elapsed() < 3000) {
        const ssize_t n = ::write(host, job.constData() + written, size_t(qMin<qsizetype>(job.size() - written, 4096)));
        if (n > 0)
            written += n;
        else
            QTest::qWait(20);
    }
    QVERIFY2(written < job.size(), qPrintable(QString::number(written)));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, tcpPort);
    QVERIFY(client.waitForConnected(5000));
    client.write(hex("'Kitchen' 0A"));
    QVERIFY(client.waitForBytesWritten(5000));
    QTest::qWait(200);
    ::kill(pid_t(monitor->processId()), SIGTERM);
    QVERIFY(finished(*monitor, 10000));
    QCOMPARE(monitor->exitCode(), 0);
    ::close(host);
    QFile log(traffic);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString rows = QString::fromUtf8(log.readAll());
    QVERIFY2(rows.contains(QStringLiteral("closed with 8 bytes it sent not passed on")), qPrintable(rows));
    QVERIFY2(QRegularExpression(QStringLiteral("\\t\\d+ bytes the host wrote to \\S+ were not passed on"))
                 .match(rows)
                 .hasMatch(),
        qPrintable(rows));
}

QTEST_MAIN(TestMonitor)
#include "tst_monitor.moc"
