// printer-ruvela between a host application and the controller: the host writes through the
// monitor's pseudo-terminal or TCP port, the controller is the far end of a real line.
#include "SimSupport.h"
#include "StepScript.h"

#include "app/MainWindow.h"
#include "tool/Launch.h"
#include "traffic/TrafficLog.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QByteArray readHost(int fd, qsizetype n, int timeoutMs = 5000)
{
    QByteArray out;
    char byte;
    QElapsedTimer clock;
    clock.start();
    while (out.size() < n && clock.elapsed() < timeoutMs)
        ::read(fd, &byte, 1) == 1 ? void(out += byte) : QTest::qWait(5);
    return out;
}

// Writes bytes to the host's end while the controller's end is read, until expected bytes
// reached the controller (those written before count too); returns them.
QByteArray pass(int host, const QByteArray &bytes, FarEnd &controller, qsizetype expected)
{
    QByteArray arrived;
    writeFor(host, bytes, 30000, &controller, &arrived);
    return arrived + controller.read(expected - arrived.size(), 30000);
}

// The streams two client libraries write, one after another, as a point-of-sale application
// would send them, and a picture of 48 x 2000 bytes of every value, flow-control bytes among them.
QByteArray clientStreams()
{
    QTemporaryDir streams;
    QByteArray stream;
    for (const QJsonValue &entry : makeClientStreams(streams.path()))
        stream += readFile(streams.filePath(entry[QLatin1String("file")].toString()));
    stream += hex("1D 76 30 00 30 00 D0 07");
    for (int i = 0; i < 48 * 2000; ++i)
        stream += char(i * 7 + i / 256);
    return stream;
}

// The lines of tshark's fields of every packet in a capture: event type, direction flags,
// payload in hex, comment.
QList<QStringList> tsharkFields(const QString &file)
{
    QProcess tshark;
    tshark.start(QStringLiteral("tshark"),
        {"-r", file, "-T", "fields", "-E", "separator=/t", "-e", "rtacser.eventtype", "-e",
            "frame.packet_flags_direction", "-e", "data.data", "-e", "frame.comment"});
    if (!tshark.waitForFinished(60000) || tshark.exitCode() != 0)
        qWarning("tshark failed: %s", tshark.readAllStandardError().constData());
    QList<QStringList> rows;
    for (const QString &line : QString::fromUtf8(tshark.readAllStandardOutput()).split(QLatin1Char('\n')))
        if (!line.isEmpty())
            rows << line.split(QLatin1Char('\t'));
    return rows;
}

// The payloads of one direction (event type 1 toward the controller, 2 from it), joined; each
// block's epb_flags must say the same direction (outbound 2, inbound 1).
QByteArray capturedBytes(const QString &file, int eventType)
{
    QByteArray joined;
    for (const QStringList &row : tsharkFields(file)) {
        if (row.value(0).toInt(nullptr, 16) != eventType)
            continue;
        if (row.value(1).toUInt(nullptr, 16) != uint(eventType == 1 ? 2 : 1))
            return "direction flags disagree: " + row.join(QLatin1Char(' ')).toUtf8();
        joined += QByteArray::fromHex(row.value(2).toLatin1());
    }
    return joined;
}

// A job of 1 MB in lines that tell their place.
QByteArray longJob()
{
    QByteArray job;
    for (int i = 0; job.size() < (1 << 20); ++i)
        job += QStringLiteral("line %1 of a long job\n").arg(i, 6, 10, QLatin1Char('0')).toLatin1();
    return job;
}

QStringList capturedEvents(const QString &file)
{
    QStringList events;
    for (const QStringList &row : tsharkFields(file))
        if (row.value(0).toInt(nullptr, 16) == 0 && row.value(2).isEmpty())
            events << row.value(3);
    return events;
}

} // namespace

class TestMonitor : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    FarEnd *controller = nullptr;
    QProcess *monitor = nullptr;
    QString hostLink, traffic, capture;
    quint16 tcpPort = 0;

    bool start(const QStringList &extra = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        monitor->setProcessEnvironment(env);
        monitor->start(QStringLiteral(PRINTER_RUVELA),
            QStringList{"--port", controller->path(), "--monitor", hostLink, "--monitor-tcp", QString::number(tcpPort),
                "--traffic", traffic, "--capture", capture}
                + extra);
        QElapsedTimer clock;
        clock.start();
        while (monitor->waitForStarted(10000) && clock.elapsed() < 10000 && monitor->state() == QProcess::Running) {
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
    int openHost() { return ::openHost(hostLink); }
    QString trafficText() { return QString::fromUtf8(readFile(traffic)); }

    // What a session holds, and its steps: the host's end of the monitor's pseudo-terminal, a TCP
    // client that sends and one that stays idle. Each step returns what it saw when it does not hold.
    int host = -1;
    QTcpSocket *client = nullptr, *idle = nullptr;

    static QString hexOf(const QByteArray &bytes)
    {
        return bytes.isEmpty() ? QStringLiteral("nothing") : QString::fromLatin1(bytes.toHex(' ').toUpper());
    }
    QString startWith(const QStringList &extra)
    {
        return start(extra) ? QString() : QStringLiteral("the monitor did not start");
    }
    QString openHostEnd()
    {
        return (host = openHost()) >= 0 ? QString() : QStringLiteral("the host's end did not open");
    }
    QString closeHostEnd() { return ::close(host), host = -1, QString(); }
    QString hostWrites(const QByteArray &bytes)
    {
        const qsizetype n = writeFor(host, bytes);
        return n == bytes.size() ? QString() : QStringLiteral("wrote %1 of %2 bytes").arg(n).arg(bytes.size());
    }
    QString controllerGets(const QByteArray &bytes)
    {
        return steps::got(hexOf(controller->read(bytes.size())), hexOf(bytes));
    }
    QString hostGets(const QByteArray &bytes) { return steps::got(hexOf(readHost(host, bytes.size())), hexOf(bytes)); }
    // "tcp" a client sends and leaves, "tcp-half" sends and stops sending, waiting for its answer,
    // "tcp-stay" sends and stays.
    QString tcpSends(const QString &how, const QByteArray &bytes)
    {
        client->abort();
        client->connectToHost(QHostAddress::LocalHost, tcpPort);
        if (!client->waitForConnected(5000) || client->write(bytes) != bytes.size())
            return QStringLiteral("the client did not connect and write: ") + client->errorString();
        while (client->bytesToWrite() > 0 && client->waitForBytesWritten(5000)) { }
        if (client->bytesToWrite() > 0)
            return QStringLiteral("%1 bytes not written").arg(client->bytesToWrite());
        if (how == QLatin1String("tcp-half"))
            ::shutdown(int(client->socketDescriptor()), SHUT_WR);
        if (how == QLatin1String("tcp")) {
            client->disconnectFromHost();
            if (!steps::waitFor([this] { return client->state() == QAbstractSocket::UnconnectedState; }))
                return QStringLiteral("the client is still connected");
        }
        return {};
    }
    QString tcpSendsMore(const QByteArray &bytes)
    {
        if (client->write(bytes) != bytes.size())
            return QStringLiteral("the client did not write: ") + client->errorString();
        while (client->bytesToWrite() > 0 && client->waitForBytesWritten(5000)) { }
        return client->bytesToWrite() > 0 ? QStringLiteral("%1 bytes not written").arg(client->bytesToWrite())
                                          : QString();
    }
    QString tcpGets(const QByteArray &bytes)
    {
        steps::waitFor([&] { return client->bytesAvailable() == bytes.size(); });
        if (client->bytesAvailable() != bytes.size())
            return QStringLiteral("%1 bytes came, not %2").arg(client->bytesAvailable()).arg(bytes.size());
        const QString seen = steps::got(hexOf(client->readAll()), hexOf(bytes));
        if (!seen.isEmpty())
            return seen;
        return steps::waitFor([this] { return client->state() == QAbstractSocket::UnconnectedState; })
            ? QString()
            : QStringLiteral("the monitor did not close the client");
    }
    QString ends(int code)
    {
        if (!finished(*monitor, 10000))
            return QStringLiteral("the monitor still runs");
        if (monitor->exitStatus() != QProcess::NormalExit || monitor->exitCode() != code)
            return QStringLiteral("it ended with %1%2")
                .arg(monitor->exitCode())
                .arg(monitor->exitStatus() == QProcess::NormalExit ? "" : " by a crash");
        return QFileInfo(hostLink).isSymLink() ? QStringLiteral("its host link is still there") : QString();
    }
    QString trafficHolds(const QString &text)
    {
        // Rows reach the file within a second while the monitor runs.
        if (steps::waitFor([&] { return trafficText().contains(text); }, 2000))
            return {};
        return QStringLiteral("the traffic file ends ") + steps::quoted(trafficText().right(1000));
    }
    QString trafficMatches(const QString &pattern)
    {
        const QRegularExpression re(pattern);
        if (steps::waitFor([&] { return re.match(trafficText()).hasMatch(); }, 2000))
            return {};
        return QStringLiteral("the traffic file ends ") + steps::quoted(trafficText().right(1000));
    }

    // The steps of monitor-scripts.txt.
    steps::Ops ops()
    {
        const auto bytes = [](const QString &arg) { return hex(arg.toUtf8()); };
        const auto tcp = [this, bytes](const char *how) {
            return [this, bytes, how](const QString &arg) { return tcpSends(QLatin1String(how), bytes(arg)); };
        };
        const auto signal = [this](int number) {
            return [this, number](const QString &) { return ::kill(pid_t(monitor->processId()), number), QString(); };
        };
        return {
            {"start", "[ARGS]", "the monitor starts: its port, host link, TCP port and traffic file given, and these",
                [this](const QString &arg) { return startWith(arg.split(QLatin1Char(' '), Qt::SkipEmptyParts)); }},
            {"open", "", "the host opens its end", [this](const QString &) { return openHostEnd(); }},
            {"close", "", "the host closes its end", [this](const QString &) { return closeHostEnd(); }},
            {"host", "HEX", "the host writes these bytes",
                [this, bytes](const QString &arg) { return hostWrites(bytes(arg)); }},
            {"controller", "HEX", "these bytes reached the controller next",
                [this, bytes](const QString &arg) { return controllerGets(bytes(arg)); }},
            {"answer", "HEX", "the controller writes these bytes",
                [this, bytes](const QString &arg) { return controller->writeAll(bytes(arg)), QString(); }},
            {"host-gets", "HEX", "the host reads these bytes",
                [this, bytes](const QString &arg) { return hostGets(bytes(arg)); }},
            {"tcp", "HEX", "a TCP client sends these bytes and leaves", tcp("tcp")},
            {"tcp-half", "HEX", "a TCP client sends these bytes and stops sending, waiting for its answer",
                tcp("tcp-half")},
            {"tcp-stay", "HEX", "a TCP client sends these bytes and stays", tcp("tcp-stay")},
            {"tcp-more", "HEX", "the client that stayed sends more",
                [this, bytes](const QString &arg) { return tcpSendsMore(bytes(arg)); }},
            {"tcp-idle", "", "another TCP client connects, and sends nothing",
                [this](const QString &) {
                    idle->connectToHost(QHostAddress::LocalHost, tcpPort);
                    return idle->waitForConnected(5000) ? QString() : QStringLiteral("it did not connect");
                }},
            {"tcp-gets", "HEX", "the last TCP client gets these bytes, then the monitor closes it",
                [this, bytes](const QString &arg) { return tcpGets(bytes(arg)); }},
            {"wait", "MS", "the event loop runs so long",
                [](const QString &arg) { return QTest::qWait(arg.toInt()), QString(); }},
            {"running", "", "the monitor runs",
                [this](const QString &) {
                    return monitor->state() == QProcess::Running ? QString() : QStringLiteral("it ended");
                }},
            {"lose", "", "the controller's line is lost",
                [this](const QString &) { return controller->close(), QString(); }},
            {"sigterm", "", "the monitor is sent SIGTERM", signal(SIGTERM)},
            {"sighup", "", "the monitor is sent SIGHUP", signal(SIGHUP)},
            {"rss-below", "MB", "the monitor's memory now",
                [this](const QString &arg) {
                    const qint64 kB = memoryKb(monitor->processId(), "VmRSS");
                    return kB > 0 && kB < arg.toLongLong() * 1024 ? QString() : QStringLiteral("%1 kB").arg(kB);
                }},
            {"capture", "to|from HEX", "every byte of that side in the capture, as tshark reads it",
                [this, bytes](const QString &arg) {
                    const bool to = arg.section(QLatin1Char(' '), 0, 0) == QLatin1String("to");
                    return steps::got(
                        hexOf(capturedBytes(capture, to ? 1 : 2)), hexOf(bytes(arg.section(QLatin1Char(' '), 1))));
                }},
            {"capture-event", "TEXT", "an event of the capture holds this text",
                [this](const QString &arg) {
                    const QStringList events = capturedEvents(capture);
                    return events.filter(arg).isEmpty()
                        ? QStringLiteral("got ") + steps::quoted(events.join(QLatin1Char('\n')))
                        : QString();
                }},
            {"ends", "N", "the monitor ends with this exit code, its host link gone",
                [this](const QString &arg) { return ends(arg.toInt()); }},
            {"said", "TEXT", "the monitor said this on stderr",
                [this](const QString &arg) {
                    const QByteArray said = monitor->readAllStandardError();
                    return said.contains(arg.toUtf8())
                        ? QString()
                        : QStringLiteral("got ") + steps::quoted(QString::fromUtf8(said));
                }},
            {"hung-up", "", "reading the host's end says at once that it hung up",
                [this](const QString &) {
                    char byte;
                    return steps::waitFor([&] { return ::read(host, &byte, 1) <= 0 && errno != EAGAIN; })
                        ? QString()
                        : QStringLiteral("it reads on");
                }},
            {"traffic", "TEXT", "the traffic file holds this text, \\t a tab",
                [this](const QString &arg) {
                    return trafficHolds(QString(arg).replace(QLatin1String("\\t"), QLatin1String("\t")));
                }},
            {"traffic~", "PATTERN", "the traffic file holds a match",
                [this](const QString &arg) { return trafficMatches(arg); }},
        };
    }

    // The controller holds the line with XOFF while the host writes `job` for two seconds: how
    // much the host could write, and in `held` what reached the controller before the hold.
    qsizetype writeWhileHeld(const QByteArray &job, QByteArray &held)
    {
        controller->writeAll(hex("13"));
        QTest::qWait(200);
        const qsizetype written = writeFor(host, job, 2000);
        held = controller->read(1 << 20, 200, 100);
        return written;
    }

private slots:
    void init()
    {
        controller = new FarEnd;
        hostLink = dir.filePath(QStringLiteral("pos"));
        static int runs = 0; // a new traffic file for every run
        traffic = dir.filePath(QStringLiteral("traffic-%1.txt").arg(++runs));
        capture = dir.filePath(QStringLiteral("capture-%1.pcapng").arg(runs));
        // A free port, found by asking the system for one.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        tcpPort = probe.serverPort();
        probe.close();
        monitor = new QProcess;
        client = new QTcpSocket;
        idle = new QTcpSocket;
    }

    void cleanup()
    {
        if (monitor->state() != QProcess::NotRunning) {
            monitor->terminate();
            finished(*monitor, 5000);
        }
        if (host >= 0)
            ::close(host), host = -1;
        delete client;
        delete idle;
        delete monitor;
        delete controller;
    }

    void controllerPrintsWhatItWouldPrintStraight()
    {
        // The virtual controller behind the monitor: it reads the same commands as from the
        // stream rendered straight, and the host gets its answers byte for byte. The stream ends
        // with queries, the last a buffered one, answered once everything before it was done.
        const QByteArray stream = clientStreams() + hex("10 04 10 05 1D 49 41");
        QVERIFY(stream.size() > 90000);
        const QString streamFile = dir.filePath(QStringLiteral("stream.bin"));
        QVERIFY(writeFile(streamFile, stream));
        const auto startSim = [](QProcess &sim, const QString &link, const QStringList &extra) {
            sim.start(QStringLiteral(ZPC3X_SIM), QStringList{"--no-window", "--speed", "max", "--link", link} + extra);
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 10000);
        };
        QProcess sim, straightSim;
        startSim(sim, dir.filePath(QStringLiteral("zpc3x")), {"--log"});
        monitor->start(
            QStringLiteral(PRINTER_RUVELA), {"--port", dir.filePath(QStringLiteral("zpc3x")), "--monitor", hostLink});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(hostLink).isSymLink(), 10000);
        // What the controller answers the stream sent straight, from a second one of its kind.
        const QByteArray last = hex("'ZPC3x virtual controller 1.0, head type 0 (384 dots)' 0D 0A '_1.0' 00");
        const auto exchange = [&stream, &last](const QString &path) {
            const int fd = ::openHost(path, true); // as the tool itself does toward the controller
            QByteArray answers;
            const bool sent = fd >= 0 && writeFor(fd, stream, 60000) == stream.size();
            QElapsedTimer clock;
            clock.start();
            while (sent && !answers.endsWith(last) && clock.elapsed() < 60000)
                answers += readHost(fd, 1, 100);
            ::close(fd);
            return answers;
        };
        startSim(straightSim, dir.filePath(QStringLiteral("zpc3x-straight")), {});
        const QByteArray straightAnswers = exchange(dir.filePath(QStringLiteral("zpc3x-straight")));
        straightSim.terminate();
        QVERIFY(finished(straightSim, 10000));
        QVERIFY(straightAnswers.endsWith(hex("12") + last));
        QCOMPARE(exchange(hostLink).toHex(' '), straightAnswers.toHex(' '));
        sim.terminate();
        QVERIFY(finished(sim, 10000));
        QProcess render;
        render.start(QStringLiteral(ZPC3X_SIM), {"--render", streamFile, "-o", dir.filePath("straight.png"), "--log"});
        QVERIFY(finished(render, 60000));
        // The commands each read, in the order each carried them out; real-time queries are
        // logged where they arrived, so they are left out of the comparison.
        const auto commands = [](const QByteArray &log) {
            return QString::fromUtf8(log)
                .split(QLatin1Char('\n'))
                .filter(QRegularExpression(QStringLiteral("^\\s*\\d+  (?!.*(printerState|getFirmwareInfo))")));
        };
        const QStringList live = commands(sim.readAllStandardOutput());
        QVERIFY(live.size() > 100);
        QCOMPARE(live, commands(render.readAllStandardOutput()));
    }

    // A script of host, controller and TCP client steps against one monitor.
    void hostsAndControllerFollowTheirScripts_data() { steps::addScriptRows(QStringLiteral("monitor-scripts.txt")); }
    void hostsAndControllerFollowTheirScripts()
    {
        QFETCH(steps::Script, script);
        steps::run(ops(), script.steps);
    }

    void forwardsEveryByteBothWaysFlowControlBytesToo()
    {
        VERIFY_STEP(startWith({"--flow", "none"}));
        VERIFY_STEP(openHostEnd());
        // The streams two client libraries write pass whole.
        const QByteArray stream = clientStreams();
        QVERIFY(stream.size() > 90000 && pass(host, stream, *controller, stream.size()) == stream);
        const QByteArray answer = hex("12 'ZPC3x 1.0' 0D 0A 13 11 00 FF");
        controller->writeAll(answer);
        VERIFY_STEP(hostGets(answer));
        VERIFY_STEP(closeHostEnd());
    }

    void holdsTheHostBackWhileTheControllerHolds()
    {
        VERIFY_STEP(startWith({}));
        VERIFY_STEP(openHostEnd());
        // The controller holds the line: the host's writes stop well short of a long job's end.
        const QByteArray job = longJob();
        QByteArray held;
        const qsizetype written = writeWhileHeld(job, held);
        QVERIFY2(written < job.size() / 2, qPrintable(QString::number(written)));
        // It lets go: the rest of the job follows, and it all arrives whole.
        controller->writeAll(hex("11"));
        QVERIFY(held + pass(host, job.mid(written), *controller, job.size() - held.size()) == job);
        VERIFY_STEP(closeHostEnd());
    }

    void stoppingNamesWhatTheHostsLeftUnread()
    {
        VERIFY_STEP(startWith({}));
        VERIFY_STEP(openHostEnd());
        // The controller holds the line while the host writes a long job, and a TCP client's job
        // waits behind it.
        const QByteArray job = longJob();
        QByteArray held;
        const qsizetype written = writeWhileHeld(job, held);
        QVERIFY2(written < job.size() / 2, qPrintable(QString::number(written)));
        VERIFY_STEP(tcpSends(QStringLiteral("tcp-stay"), hex("'Kitchen' 0A")));
        QTest::qWait(200);
        ::kill(pid_t(monitor->processId()), SIGTERM);
        VERIFY_STEP(ends(0));
        VERIFY_STEP(closeHostEnd());
        VERIFY_STEP(trafficHolds(QStringLiteral("closed with 8 bytes it sent not passed on")));
        VERIFY_STEP(trafficMatches(QStringLiteral("\\t\\d+ bytes the host wrote to \\S+ were not passed on")));
    }

    void tcpAddressFormsAreServed_data()
    {
        QTest::addColumn<QString>("form"); // PORT stands for a free port
        QTest::addColumn<QString>("client");
        QTest::newRow("IPv6, bracketed") << "[::1]:PORT"
                                         << "::1";
        QTest::newRow("a host name") << "localhost:PORT"
                                     << "localhost";
        QTest::newRow("IPv4") << "127.0.0.1:PORT"
                              << "127.0.0.1";
    }
    void tcpAddressFormsAreServed()
    {
        QFETCH(QString, form);
        QFETCH(QString, client);
        const QString where = QString(form).replace(QLatin1String("PORT"), QString::number(tcpPort));
        monitor->start(
            QStringLiteral(PRINTER_RUVELA), {"--port", controller->path(), "--flow", "none", "--monitor-tcp", where});
        QTcpSocket job;
        QTRY_VERIFY_WITH_TIMEOUT((job.abort(), job.connectToHost(client, tcpPort), job.waitForConnected(200)), 10000);
        QVERIFY(job.write(hex("'Hi' 0A")) == 3 && job.waitForBytesWritten(5000));
        job.disconnectFromHost();
        QCOMPARE(controller->read(3), hex("'Hi' 0A"));
    }

    void windowMonitorsAndAddsNothingOfItsOwn()
    {
        MainWindow tool;
        tool.show();
        tool.start(parseLaunch({"printer-ruvela", "--port", controller->path(), "--flow", "none", "--connect"}));
        QTRY_VERIFY(statusText(tool).startsWith(QStringLiteral("Connected to")));
        // The exchange is recorded as it passes, and the status bar says so while it is.
        auto *record = tool.findChild<QAction *>("actionCapture");
        answerFileDialog(&tool, capture);
        record->trigger();
        QTRY_VERIFY(tool.findChild<QLabel *>("captureLabel")->isVisible());
        QCOMPARE(tool.findChild<QLabel *>("captureLabel")->text(), QStringLiteral("Recording: %1").arg(capture));
        tool.findChild<QAction *>("actionMonitor")->trigger();
        QTRY_VERIFY(tool.findChild<QLineEdit *>("monitorLink"));
        tool.findChild<QLineEdit *>("monitorLink")->setText(hostLink);
        QTest::keyClick(tool.findChild<QLineEdit *>("monitorLink"), Qt::Key_Return); // starts, never closes
        QTRY_VERIFY(QFileInfo(hostLink).isSymLink());
        QCOMPARE(statusText(tool), QStringLiteral("Monitoring: %1 ↔ %2").arg(hostLink, controller->path()));
        // The buttons and the send line wait, and say why.
        auto *tabs = tool.findChild<QTabWidget *>("mainTabsRuvela");
        QVERIFY(!tabs->isEnabled());
        QVERIFY(tabs->toolTip().startsWith(QStringLiteral("Monitoring a host application")));
        QVERIFY(!tool.findChild<QWidget *>("lineEditSend")->isEnabled());
        QVERIFY(!tool.findChild<QAction *>("actionSendFile")->isEnabled());
        QVERIFY(!tool.findChild<QAction *>("actionIdentify")->isEnabled());
        // Every greyed job button says why, and has its own tooltip back once monitoring stops.
        auto *receipt = tool.findChild<QAbstractButton *>("pushButtonReceipt");
        const QString ownTip
            = tool.findChild<QAbstractButton *>("pushButtonReceipt")->property("ownToolTip").toString();
        QVERIFY(receipt->toolTip().startsWith(QStringLiteral("Monitoring a host application")));
        const int host = openHost();
        QVERIFY(host >= 0 && writeFor(host, hex("'Hi' 0A 10 04")) == 5);
        QCOMPARE(controller->read(5), hex("'Hi' 0A 10 04"));
        controller->writeAll(hex("32"));
        QCOMPARE(readHost(host, 1), hex("32"));
        ::close(host);
        // The host's query and the controller's answer, in Traffic with their sides and in words.
        auto *log = tool.findChild<TrafficLog *>();
        const auto rowWith = [log](const QString &direction, const QString &what) {
            for (int i = 0; i < log->rowCount(); ++i)
                if (TrafficLog::directionName(log->row(i).direction, log->row(i).relayed) == direction
                    && log->row(i).what == what)
                    return true;
            return false;
        };
        QTRY_VERIFY(rowWith(QStringLiteral("host → controller"), QStringLiteral("printStr")));
        QTRY_VERIFY(rowWith(QStringLiteral("controller → host"), QStringLiteral("status: paper out")));
        QTRY_VERIFY(
            tool.findChild<QLabel *>("controllerStatusLabel")->text() == QStringLiteral("Controller: paper out"));
        tool.findChild<QPushButton *>("monitorStop")->click();
        QVERIFY(!QFileInfo(hostLink).isSymLink());
        QCOMPARE(receipt->toolTip(), ownTip);
        QVERIFY(!receipt->toolTip().startsWith(QStringLiteral("Monitoring a host application")));
        record->trigger(); // stops
        QVERIFY(!tool.findChild<QLabel *>("captureLabel")->isVisible());
        QCOMPARE(capturedBytes(capture, 1), hex("'Hi' 0A 10 04"));
        QCOMPARE(capturedBytes(capture, 2), hex("32"));
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
};

QTEST_MAIN(TestMonitor)
#include "tst_monitor.moc"
