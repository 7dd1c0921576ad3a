#include "tool/Headless.h"

#include "files/WholeFile.h"
#include "monitor/Monitor.h"
#include "serial/SerialLink.h"
#include "serial/Settings.h"
#include "tool/ButtonJobs.h"
#include "tool/CaptureRecorder.h"
#include "tool/Identify.h"
#include "tool/Launch.h"
#include "tool/Replayer.h"
#include "tool/TrafficRecorder.h"
#include "traffic/ExpectedPrinter.h"
#include "traffic/QueryMatcher.h"
#include "traffic/TrafficLog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString programName = QStringLiteral("printer-ruvela");

// SIGINT, SIGTERM, SIGHUP (a closed terminal or SSH connection) and SIGQUIT end the run from the
// event loop, so that it can say how far it came, close its files whole and leave no link or
// lock behind: the handler only passes the signal's number down a socket.
int signalSocket[2] = {-1, -1};

void passSignal(int signal)
{
    const int saved = errno;
    const char number = char(signal);
    [[maybe_unused]] const auto n = ::write(signalSocket[1], &number, 1);
    errno = saved;
}

Settings settingsFor(const SettingsChoice &choice)
{
    // What is not chosen keeps the settings dialog's defaults.
    Settings s;
    s.portName = choice.port.value_or(QString());
    s.baudRate = choice.baudRate.value_or(lineDefaults::baudRate);
    s.dataBits = choice.dataBits.value_or(lineDefaults::dataBits);
    s.parity = choice.parity.value_or(lineDefaults::parity);
    s.stopBits = choice.stopBits.value_or(lineDefaults::stopBits);
    s.flowControl = choice.flowControl.value_or(lineDefaults::flowControl);
    return s;
}

QString consoleText(const jobs::Job &job)
{
    // As the window's console shows it: the heading, then each line on its own.
    if (job.console != jobs::Job::Console::Replace || (job.heading.isEmpty() && job.lines.isEmpty()))
        return {};
    return (QStringList{job.heading} + job.lines).join(QLatin1Char('\n')) + QLatin1Char('\n');
}

// One run without a window: what to send made ready, the line opened, the bytes sent, the
// answers printed while they may come, and one exit status.
class HeadlessRun
{
public:
    explicit HeadlessRun(const Launch &launch)
        : launch(launch)
        , fromStdin(launch.sendFile == QLatin1String("-"))
    { }
    int exec();

private:
    static constexpr qint64 inputAhead = 64 * 1024; // standard input read ahead of the line

    int prepare();
    bool openRecords();
    void settleRecords();
    void recordingFailed(const QString &what, const QString &path, const QString &why);
    void wire();
    void send();
    void readInput();
    void reportReplay(int &code);
    void checkSent();
    void checkStall();
    void showProgress();
    int startMonitor(); // 0, or the exit code of why it could not start
    void stopBySignal();
    void showLost(const QString &reason, qint64 done, qint64 total);
    void showAnswer(const Answer &answer);
    bool print(std::FILE *to, const QString &text);
    void exitWith(int code);
    bool closeRecords();
    void discardRecords(); // nothing passed: the files made for the run go again

    const Launch &launch;
    const bool fromStdin;
    jobs::Job job;
    SerialLink link;
    Settings settings;
    GrowingFile trafficFile;
    bool trafficFailed = false;
    std::unique_ptr<ExpectedPrinter> expected;
    std::unique_ptr<TrafficLog> traffic;
    std::unique_ptr<TrafficRecorder> recorder;
    std::unique_ptr<CaptureRecorder> capture;
    QTimer settling; // the records' rows and blocks reach their files at least once a second
    std::unique_ptr<Monitor> monitor;
    std::unique_ptr<Identify> identify;
    std::unique_ptr<QSocketNotifier> input, signalNotifier;
    std::unique_ptr<Replayer> replayer;
    QTimer progress, stall;
    bool progressShown = false, inputEnded = true, sentAll = false, exiting = false;
    int status = 0;
};

int HeadlessRun::prepare()
{
    // What to send is made ready before the port opens, so that input that cannot be read
    // sends nothing at all.
    if (!launch.job.isEmpty()) {
        // The job of the button on the form as it opens.
        const buttons::Form &form = buttons::designedForm();
        job = buttons::findByName(launch.job)->build([&form](const char *control) {
            return form.checked.value(QLatin1String(control));
        });
    } else if (!launch.replayFile.isEmpty()) {
        replayer = std::make_unique<Replayer>(link);
        if (const QString why = replayer->load(launch.replayFile, launch.replaySpeed); !why.isEmpty()) {
            print(stderr, QStringLiteral("%1: cannot replay %2: %3\n").arg(programName, launch.replayFile, why));
            return 2;
        }
    } else if (!fromStdin && !launch.monitoring() && !launch.identify) {
        QFile file(launch.sendFile);
        const QString why = !QFileInfo(launch.sendFile).isFile() && QFileInfo::exists(launch.sendFile)
            ? QStringLiteral("not a regular file")
            : (file.open(QIODevice::ReadOnly) ? QString() : file.errorString());
        if (!why.isEmpty()) {
            print(stderr, QStringLiteral("%1: cannot send %2: %3\n").arg(programName, launch.sendFile, why));
            return 2;
        }
    }
    if (!openRecords())
        return 2;
    settings = settingsFor(launch.choice);
    link.keepNoneSent(); // nothing here saves them
    if (!link.open(settings)) {
        print(
            stderr, QStringLiteral("%1: cannot open %2: %3\n").arg(programName, settings.portName, link.errorString()));
        discardRecords();
        return 1;
    }
    return 0;
}

bool HeadlessRun::openRecords()
{
    // The records go to new files only, one that is there is the user's; they are made before
    // anything is sent, so that a name that cannot be written sends nothing. Both are written as
    // the run goes, so that whatever ends it leaves them readable up to the last second.
    if (!launch.captureFile.isEmpty()) {
        capture = std::make_unique<CaptureRecorder>(link);
        if (const QString why = capture->start(launch.captureFile); !why.isEmpty()) {
            print(stderr,
                QStringLiteral("%1: cannot write the capture to %2: %3\n").arg(programName, launch.captureFile, why));
            return false;
        }
        QObject::connect(capture.get(), &CaptureRecorder::failed,
            [this](const QString &path, const QString &why) { recordingFailed(QStringLiteral("capture"), path, why); });
    }
    if (launch.trafficFile.isEmpty())
        return true;
    QString why = trafficFile.open(launch.trafficFile);
    if (why.isEmpty() && !(trafficFile.append(TrafficLog::heading()) && trafficFile.flush()))
        why = trafficFile.failure();
    if (!why.isEmpty()) {
        print(stderr,
            QStringLiteral("%1: cannot write the traffic to %2: %3\n").arg(programName, launch.trafficFile, why));
        return false;
    }
    expected = std::make_unique<ExpectedPrinter>();
    traffic = std::make_unique<TrafficLog>(nullptr, 10000);
    traffic->setSpill([this](const TrafficRow &row) {
        if (!trafficFile.append((TrafficLog::rowText(row) + QLatin1Char('\n')).toUtf8()) && !trafficFailed) {
            trafficFailed = true;
            // From the event loop: the row that failed is being let go of inside the log.
            QMetaObject::invokeMethod(
                qApp,
                [this, why = trafficFile.failure()] {
                    recordingFailed(QStringLiteral("traffic"), launch.trafficFile, why);
                },
                Qt::QueuedConnection);
        }
    });
    recorder = std::make_unique<TrafficRecorder>(link, *expected, *traffic);
    return true;
}

void HeadlessRun::settleRecords()
{
    if (traffic) {
        traffic->spillSettled(recorder->allSettled());
        if (!trafficFailed && !trafficFile.flush()) {
            trafficFailed = true;
            recordingFailed(QStringLiteral("traffic"), launch.trafficFile, trafficFile.failure());
        }
    }
}

void HeadlessRun::recordingFailed(const QString &what, const QString &path, const QString &why)
{
    // The bytes go on; only the record stops, and the run's exit status says it is not whole.
    print(stderr,
        QStringLiteral("%1: the %2 stopped being written to %3: %4; the line goes on\n")
            .arg(programName, what, path, why));
    const QString event = QStringLiteral("the %1 stopped being written to %2: %3").arg(what, path, why);
    if (recorder && what != QLatin1String("traffic"))
        recorder->note(event);
    if (capture && what != QLatin1String("capture"))
        capture->note(event);
    status = qMax(status, 1);
}

void HeadlessRun::wire()
{
    if (recorder) {
        traffic->setRelaying(launch.monitoring());
        recorder->opened(settings);
    }
    QObject::connect(&link, &SerialLink::answered, [this](const Answer &a) { showAnswer(a); });
    // A monitor's host hangs up with the line; the traffic says how far it came.
    // After the line's other listeners (a monitor names what reached the controller first).
    QObject::connect(
        &link, &SerialLink::lost, &link,
        [this](const QString &reason, qint64 done, qint64 total) { showLost(reason, done, total); },
        Qt::QueuedConnection);
    QObject::connect(&link, &SerialLink::sendStopped,
        [this](const QString &file, qint64 position, qint64 size, const QString &reason) {
            print(stderr,
                QStringLiteral("%1: sending %2 stopped at byte %3 of %4: %5\n")
                    .arg(programName, file)
                    .arg(position)
                    .arg(size)
                    .arg(reason));
            status = 1;
        });
    QObject::connect(&link, &SerialLink::progressed, [this] {
        if (input && !inputEnded && link.queued() < inputAhead)
            input->setEnabled(true);
        checkSent();
    });
    progressShown = ::isatty(STDERR_FILENO);
    QObject::connect(&progress, &QTimer::timeout, [this] { showProgress(); });
    QObject::connect(&stall, &QTimer::timeout, [this] { checkStall(); });
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSocket) == 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(signalSocket[0], QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, [this] { stopBySignal(); });
        struct sigaction action = {};
        action.sa_handler = passSignal;
        sigemptyset(&action.sa_mask);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
            // A run started to outlive its terminal (nohup) keeps SIGHUP ignored.
            struct sigaction before = {};
            if (signal != SIGHUP || (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN))
                ::sigaction(signal, &action, nullptr);
        }
    }
    // A closed standard output, or a file grown past the user's limit, is a failed write to
    // report, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    QObject::connect(&settling, &QTimer::timeout, [this] { settleRecords(); });
    settling.start(CaptureRecorder::flushMs);
}

int HeadlessRun::startMonitor()
{
    // Until stopped: the host's bytes are the run's, and the controller's answers are the host's.
    monitor = std::make_unique<Monitor>(link);
    if (recorder)
        QObject::connect(monitor.get(), &Monitor::note, recorder.get(), &TrafficRecorder::note);
    if (capture)
        QObject::connect(monitor.get(), &Monitor::note, capture.get(), &CaptureRecorder::note);
    QString why;
    if (!launch.monitorLink.isEmpty())
        why = monitor->offerPty(launch.monitorLink, settings.baudRate);
    if (why.isEmpty() && !launch.monitorTcp.isEmpty())
        why = monitor->offerTcp(launch.monitorTcp, qint64(launch.monitorIdleS * 1000));
    if (!why.isEmpty()) {
        print(stderr, QStringLiteral("%1: cannot monitor: %2\n").arg(programName, why));
        return monitor->linkRefused() ? 2 : 1; // a path that is not ours to take is a usage error
    }
    const QString monitoring = QStringLiteral("monitoring: %1 ↔ %2").arg(monitor->hostNames(), link.portPath());
    if (recorder)
        recorder->note(monitoring);
    if (capture)
        capture->note(monitoring);
    if (::isatty(STDERR_FILENO))
        print(stderr, QStringLiteral("Monitoring: %1 ↔ %2\n").arg(monitor->hostNames(), link.portPath()));
    inputEnded = false; // the run ends only by a signal or a lost line
    return 0;
}

void HeadlessRun::send()
{
    if (!launch.job.isEmpty()) {
        for (const QByteArray &bytes : job.writes)
            link.write(bytes.constData(), bytes.size());
    } else if (replayer) {
        inputEnded = false;
        QObject::connect(replayer.get(), &Replayer::allSent, [this] {
            inputEnded = true;
            checkSent();
        });
        QObject::connect(replayer.get(), &Replayer::failed, [this](const QString &why) {
            print(stderr, QStringLiteral("%1: cannot replay %2 on: %3\n").arg(programName, launch.replayFile, why));
            status = 1;
            inputEnded = true;
            checkSent();
        });
        replayer->play();
    } else if (fromStdin) {
        // Read a slice at a time as the line drains: an endless input never sits in memory.
        inputEnded = false;
        input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(input.get(), &QSocketNotifier::activated, [this] { readInput(); });
    } else {
        QString why;
        if (!link.sendFile(launch.sendFile, why)) {
            print(stderr, QStringLiteral("%1: cannot send %2: %3\n").arg(programName, launch.sendFile, why));
            status = 1;
        }
    }
}

void HeadlessRun::readInput()
{
    QByteArray slice(inputAhead, Qt::Uninitialized);
    const ssize_t n = ::read(STDIN_FILENO, slice.data(), size_t(slice.size()));
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        if (n < 0) {
            print(stderr,
                QStringLiteral("%1: cannot read standard input: %2\n").arg(programName, qt_error_string(errno)));
            status = 1;
        }
        inputEnded = true;
        input->setEnabled(false);
        checkSent();
        return;
    }
    link.write(slice.constData(), n);
    if (link.queued() >= inputAhead)
        input->setEnabled(false); // until the line has taken most of it
}

void HeadlessRun::reportReplay(int &code)
{
    // Only a replay that sent everything can be compared with the whole recording.
    if (!sentAll || !replayer->sentAll())
        return;
    const QStringList differences = replayer->differences();
    for (const QString &line : differences)
        print(stdout, line + QLatin1Char('\n'));
    if (differences.isEmpty()) {
        print(stdout,
            QStringLiteral("replay: %1 bytes sent, every answer as recorded (%2)\n")
                .arg(link.sentTotal())
                .arg(replayer->queriesRecorded()));
        return;
    }
    print(stdout,
        QStringLiteral("replay: %1 bytes sent, %2 answer%3 not as recorded\n")
            .arg(link.sentTotal())
            .arg(differences.size())
            .arg(differences.size() == 1 ? "" : "s"));
    code = qMax(code, 1);
}

void HeadlessRun::checkSent()
{
    if (sentAll || exiting || !inputEnded || !link.isOpen() || link.queued() > 0 || link.runDone() < link.runTotal())
        return;
    sentAll = true;
    stall.stop();
    if (progressShown)
        print(stderr, QStringLiteral("\r\033[K%1 bytes sent to %2\n").arg(link.sentTotal()).arg(link.portPath()));
    QTimer::singleShot(launch.repliesMs, [this] { exitWith(status); });
}

void HeadlessRun::checkStall()
{
    // Waiting for standard input is not a stall: only bytes that do not leave are.
    if (sentAll || exiting || monitor || launch.stallTimeoutS <= 0 || link.queued() == 0
        || link.msSinceMoved() < qint64(launch.stallTimeoutS) * 1000)
        return;
    if (progressShown)
        print(stderr, QStringLiteral("\n"));
    print(stderr,
        QStringLiteral("%1: nothing left for %2 s: %3 of %4 bytes sent to %5\n")
            .arg(programName)
            .arg(launch.stallTimeoutS)
            .arg(link.runDone())
            .arg(link.runTotal())
            .arg(link.portPath()));
    exitWith(1);
}

void HeadlessRun::showProgress()
{
    const QString state = link.msSinceMoved() >= 2000 ? QStringLiteral(", waiting for the controller") : QString();
    print(stderr, QStringLiteral("\r\033[K%1 of %2 bytes sent%3").arg(link.runDone()).arg(link.runTotal()).arg(state));
}

void HeadlessRun::stopBySignal()
{
    char number = 0;
    if (::read(signalSocket[0], &number, 1) != 1 || exiting)
        return;
    const QString name = QString::fromLatin1(sigabbrev_np(number));
    if (monitor) {
        // Monitoring ends this way: the exchange is complete, and is written whole.
        print(stderr, QStringLiteral("Monitoring stopped: %1 bytes reached the controller\n").arg(link.sentTotal()));
        monitor->stop();
        exitWith(0);
        return;
    }
    if (progressShown)
        print(stderr, QStringLiteral("\n"));
    print(stderr, QStringLiteral("Stopped: %1 of %2 bytes sent\n").arg(link.runDone()).arg(link.runTotal()));
    // The records keep what passed, and say why they end there.
    const QString stopped
        = QStringLiteral("stopped by SIG%1: %2 of %3 bytes sent").arg(name).arg(link.runDone()).arg(link.runTotal());
    if (recorder)
        recorder->note(stopped);
    if (capture)
        capture->note(stopped);
    exitWith(128 + number);
}

void HeadlessRun::showLost(const QString &reason, qint64 done, qint64 total)
{
    if (progressShown)
        print(stderr, QStringLiteral("\n"));
    const bool exact = link.lostReach().exact;
    const QString reached = exact ? QString::number(done) : QStringLiteral("at most %1").arg(done);
    print(stderr,
        sentAll ? QStringLiteral("%1: the line to %2 is lost: %3; all %4 bytes had been sent\n")
                      .arg(programName, link.portPath(), reason)
                      .arg(link.sentTotal())
                : QStringLiteral("%1: the line to %2 is lost: %3; %4 of %5 bytes reached the controller\n")
                      .arg(programName, link.portPath(), reason, reached)
                      .arg(total));
    exitWith(1);
}

void HeadlessRun::showAnswer(const Answer &answer)
{
    if (replayer) // the replayer holds them against the recording at the end
        return;
    // Answers are this run's report only when asked for.
    if (launch.repliesMs > 0 && !exiting)
        print(stdout, describeAnswer(answer) + QLatin1Char('\n'));
}

bool HeadlessRun::print(std::FILE *to, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    const bool written
        = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to) == size_t(bytes.size()) && std::fflush(to) == 0;
    if (!written && to == stdout && !exiting) {
        const int why = errno;
        std::clearerr(stdout);
        print(
            stderr, QStringLiteral("%1: cannot write to standard output: %2\n").arg(programName, qt_error_string(why)));
        exitWith(1);
    }
    return written;
}

void HeadlessRun::discardRecords()
{
    trafficFile.discard();
    if (capture)
        capture->discard();
}

bool HeadlessRun::closeRecords()
{
    bool whole = true;
    if (recorder) {
        recorder->flushAnswers();
        traffic->spillSettled(true);
        if (!trafficFile.close() && !trafficFailed) {
            trafficFailed = true;
            recordingFailed(QStringLiteral("traffic"), launch.trafficFile, trafficFile.failure());
        }
        whole = !trafficFailed;
    }
    if (capture && !capture->stop())
        whole = false;
    return whole;
}

void HeadlessRun::exitWith(int code)
{
    // Ends once the event loop runs: a line can fail while the writes are being handed over.
    if (exiting)
        return;
    if (link.isOpen()) {
        link.readData();
        link.cutAnswersShort(); // an answer still coming is printed as cut off
    }
    link.close(); // a query still waiting is reported unanswered
    if (replayer && code < 128)
        reportReplay(code);
    exiting = true;
    progress.stop();
    stall.stop();
    if (input)
        input->setEnabled(false);
    settling.stop();
    if (!closeRecords() && code < 128)
        code = qMax(code, 1);
    QMetaObject::invokeMethod(
        qApp, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
}

int HeadlessRun::exec()
{
    if (const int failed = prepare())
        return failed;
    wire();
    if (launch.monitoring()) {
        if (const int failed = startMonitor()) {
            link.close();
            discardRecords();
            return failed;
        }
    } else if (launch.identify) {
        // One query at a time until each is answered or given up; then the card, and the end.
        inputEnded = false;
        identify = std::make_unique<Identify>(link);
        QObject::connect(identify.get(), &Identify::done, [this] {
            print(stdout, launch.json ? QString::fromUtf8(identify->json()) : identify->text());
            exitWith(identify->card().anything() ? 0 : 1);
        });
        identify->start();
    } else {
        print(stdout, consoleText(job));
        if (!exiting)
            send();
    }
    if (progressShown && !monitor && !identify)
        progress.start(250);
    stall.start(250);
    QTimer::singleShot(0, [this] { checkSent(); }); // nothing to send at all
    const int code = QCoreApplication::exec();
    signalNotifier.reset();
    for (int &fd : signalSocket) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    return code;
}

} // namespace

int runHeadless(const Launch &launch)
{
    HeadlessRun run(launch);
    return run.exec();
}
