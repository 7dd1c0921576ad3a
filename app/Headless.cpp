#include "app/Headless.h"

#include "app/ButtonJobs.h"
#include "app/Launch.h"
#include "app/TrafficRecorder.h"
#include "files/WholeFile.h"
#include "serial/SerialLink.h"
#include "traffic/Answers.h"
#include "traffic/ExpectedPrinter.h"
#include "traffic/TrafficLog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

void print(std::FILE *to, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    std::fflush(to);
}

Settings settingsFor(const SettingsChoice &choice)
{
    // What is not chosen keeps the settings dialog's defaults.
    Settings s;
    s.portName = choice.port.value_or(QString());
    s.baudRate = choice.baudRate.value_or(115200);
    s.dataBits = choice.dataBits.value_or(QSerialPort::Data8);
    s.parity = choice.parity.value_or(QSerialPort::NoParity);
    s.stopBits = choice.stopBits.value_or(QSerialPort::OneStop);
    s.flowControl = choice.flowControl.value_or(QSerialPort::SoftwareControl);
    return s;
}

QString consoleText(const jobs::Job &job)
{
    // As the window's console shows it: the heading, then each line on its own.
    if (job.console != jobs::Job::Console::Replace || (job.heading.isEmpty() && job.lines.isEmpty()))
        return {};
    return (QStringList{job.heading} + job.lines).join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace

int runHeadless(const Launch &launch)
{
    const QString name = QStringLiteral("printer-ruvela");
    // What to send is made ready before the port opens, so that input that cannot be read
    // sends nothing at all.
    jobs::Job job;
    QByteArray input;
    const bool fromStdin = launch.sendFile == QLatin1String("-");
    if (!launch.job.isEmpty()) {
        // The job of the button on the form as it opens.
        const buttons::Form &form = buttons::designedForm();
        job = buttons::findByName(launch.job)->build([&form](const char *control) {
            return form.checked.value(QLatin1String(control));
        });
    } else if (fromStdin) {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly)) {
            print(stderr, QStringLiteral("%1: cannot read standard input: %2\n").arg(name, in.errorString()));
            return 2;
        }
        input = in.readAll();
    } else {
        QFile file(launch.sendFile);
        const QString why = !QFileInfo(launch.sendFile).isFile() && QFileInfo::exists(launch.sendFile)
            ? QStringLiteral("not a regular file")
            : (file.open(QIODevice::ReadOnly) ? QString() : file.errorString());
        if (!why.isEmpty()) {
            print(stderr, QStringLiteral("%1: cannot send %2: %3\n").arg(name, launch.sendFile, why));
            return 2;
        }
    }

    // The decoded exchange goes to a new file only, one that is there is the user's; it is made
    // before anything is sent, so that a name that cannot be written sends nothing.
    const bool tracing = !launch.trafficFile.isEmpty();
    NewFile trafficFile;
    if (tracing) {
        QString why = trafficFile.open(launch.trafficFile);
        if (why.isEmpty())
            why = trafficFile.append(TrafficLog::heading());
        if (!why.isEmpty()) {
            print(
                stderr, QStringLiteral("%1: cannot write the traffic to %2: %3\n").arg(name, launch.trafficFile, why));
            return 2;
        }
    }

    SerialLink link;
    const Settings settings = settingsFor(launch.choice);
    if (!link.open(settings)) {
        print(stderr, QStringLiteral("%1: cannot open %2: %3\n").arg(name, settings.portName, link.errorString()));
        return 1;
    }

    const bool progressShown = ::isatty(STDERR_FILENO);
    int status = 0;
    bool sentAll = false, finished = false;
    AnswerCutter answers;
    QTimer pause, progress;
    pause.setSingleShot(true);
    pause.setInterval(AnswerCutter::pauseMs);
    auto showAnswer
        = [](const AnswerCutter::Answer &answer) { print(stdout, describeAnswer(answer) + QLatin1Char('\n')); };
    auto flushAnswers = [&] {
        if (const auto answer = answers.flush())
            showAnswer(*answer);
    };
    QObject::connect(&pause, &QTimer::timeout, flushAnswers);
    QObject::connect(&link, &SerialLink::bytesReceived, [&](qint64 offset, const QByteArray &bytes) {
        for (const AnswerCutter::Answer &answer : answers.received(offset, bytes, link.unansweredQueries()))
            showAnswer(answer);
        pause.start();
    });
    // The rows go to the file as the log lets go of them, and the rest at the end; the file takes
    // its name only when it is whole.
    std::unique_ptr<ExpectedPrinter> expected;
    std::unique_ptr<TrafficLog> traffic;
    std::unique_ptr<TrafficRecorder> recorder;
    if (tracing) {
        expected = std::make_unique<ExpectedPrinter>();
        traffic = std::make_unique<TrafficLog>(nullptr, 10000);
        traffic->setSpill([&trafficFile](const TrafficRow &row) {
            trafficFile.append((TrafficLog::rowText(row) + QLatin1Char('\n')).toUtf8());
        });
        recorder = std::make_unique<TrafficRecorder>(link, *expected, *traffic);
        recorder->opened(settings);
    }
    auto showProgress = [&] {
        if (!progressShown)
            return;
        const QString state = link.msSinceMoved() >= 2000 ? QStringLiteral(", waiting for the controller") : QString();
        print(stderr,
            QStringLiteral("\r\033[K%1 of %2 bytes sent%3").arg(link.runDone()).arg(link.runTotal()).arg(state));
    };
    // Ends once the event loop runs: a line can fail while the writes are being handed over.
    auto finish = [&](int code) {
        if (finished)
            return;
        finished = true;
        progress.stop();
        if (link.isOpen())
            link.readData();
        flushAnswers();
        link.close();
        if (tracing) {
            recorder->flushAnswers();
            QByteArray rest;
            for (int i = 0; i < traffic->rowCount(); ++i)
                rest += (TrafficLog::rowText(traffic->row(i)) + QLatin1Char('\n')).toUtf8();
            QString failure = trafficFile.append(rest);
            if (failure.isEmpty())
                failure = trafficFile.commit();
            if (!failure.isEmpty()) {
                print(stderr,
                    QStringLiteral("%1: the traffic was not written to %2: %3\n")
                        .arg(name, launch.trafficFile, failure));
                code = qMax(code, 1);
            }
        }
        QMetaObject::invokeMethod(
            qApp, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
    };
    QObject::connect(&link, &SerialLink::lost, [&](const QString &reason, qint64 done, qint64 total) {
        if (progressShown)
            print(stderr, QStringLiteral("\n"));
        print(stderr,
            sentAll ? QStringLiteral("%1: the line to %2 is lost: %3; all %4 bytes had been sent\n")
                          .arg(name, link.portPath(), reason)
                          .arg(link.sentTotal())
                    : QStringLiteral("%1: the line to %2 is lost: %3; %4 of %5 bytes sent\n")
                          .arg(name, link.portPath(), reason)
                          .arg(done)
                          .arg(total));
        finish(1);
    });
    QObject::connect(
        &link, &SerialLink::sendStopped, [&](const QString &file, qint64 position, qint64 size, const QString &reason) {
            print(stderr,
                QStringLiteral("%1: sending %2 stopped at byte %3 of %4: %5\n")
                    .arg(name, file)
                    .arg(position)
                    .arg(size)
                    .arg(reason));
            status = 1;
        });
    auto checkSent = [&] {
        if (sentAll || finished || !link.isOpen() || link.queued() > 0 || link.runDone() < link.runTotal())
            return;
        sentAll = true;
        if (progressShown)
            print(stderr, QStringLiteral("\r\033[K%1 bytes sent to %2\n").arg(link.sentTotal()).arg(link.portPath()));
        QTimer::singleShot(launch.repliesMs, [&] { finish(status); });
    };
    QObject::connect(&link, &SerialLink::progressed, checkSent);
    QObject::connect(&progress, &QTimer::timeout, showProgress);

    print(stdout, consoleText(job));
    if (!launch.job.isEmpty()) {
        for (const QByteArray &bytes : job.writes)
            link.write(bytes.constData(), bytes.size());
    } else if (fromStdin) {
        link.write(input.constData(), input.size());
    } else {
        QString why;
        if (!link.sendFile(launch.sendFile, why)) {
            print(stderr, QStringLiteral("%1: cannot send %2: %3\n").arg(name, launch.sendFile, why));
            status = 1;
        }
    }
    if (progressShown)
        progress.start(250);
    QTimer::singleShot(0, checkSent); // nothing to send at all
    return QCoreApplication::exec();
}
