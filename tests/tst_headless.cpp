#include "SimSupport.h"

#include "demos/Jobs.h"
#include "simulator/SimOptions.h"
#include "tool/Launch.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <sys/ioctl.h>
#include <sys/resource.h>

// Runs without a window: both programs' command lines, in either language; runs that send exactly
// what they were given, report only their own answers, and always end, whatever the far end, the
// input or standard output does.

class TestHeadless : public QObject
{
    Q_OBJECT
private slots:
    void commandLine_data() { addTableRows(QStringLiteral("commandline.txt")); }
    void commandLine()
    {
        QFETCH(QStringList, row);
        const bool sim = row[1] == QLatin1String("zpc3x-sim");
        const QStringList arguments = row[2].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const int exitCode = row[3].toInt();
        const QString output = row.value(4).trimmed();
        const QString locale = row.value(5).trimmed(); // none: the test's own
        if (locale.isEmpty()) { // as the program's main reads them
            const QStringList line = QStringList{row[1]} + arguments;
            const auto parsed = [](const auto &options) { return std::make_pair(options.exitCode, options.output); };
            const auto [parsedCode, parsedOutput]
                = sim ? parsed(sim::parseSimOptions(line)) : parsed(parseLaunch(line));
            QCOMPARE(parsedCode, exitCode);
            QVERIFY2(parsedOutput.contains(output), qPrintable(parsedOutput));
        }
        if (exitCode < 0)
            return;
        // The program itself answers before anything opens or is served, and without a display.
        QProcess program;
        runsHeadless(program);
        if (!locale.isEmpty()) { // as a user of that language starts it
            QProcessEnvironment environment = program.processEnvironment();
            for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
                environment.remove(QLatin1String(name));
            environment.insert(QStringLiteral("LANG"), locale);
            program.setProcessEnvironment(environment);
        }
        program.start(sim ? QStringLiteral(ZPC3X_SIM) : QStringLiteral(PRINTER_RUVELA), arguments);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), exitCode);
        const QByteArray printed = program.readAllStandardOutput() + program.readAllStandardError();
        QVERIFY2(printed.contains(output.toUtf8()), printed.constData());
    }
    void sendsFilesAndInputByteForByte_data()
    {
        QTest::addColumn<bool>("fromStdin");
        QTest::addColumn<qsizetype>("size");
        QTest::newRow("a file") << false << qsizetype(300001);
        QTest::newRow("a file of one byte") << false << qsizetype(1);
        QTest::newRow("standard input") << true << qsizetype(300001);
    }
    void sendsFilesAndInputByteForByte()
    {
        QFETCH(bool, fromStdin);
        QFETCH(qsizetype, size);
        QByteArray bytes(size, Qt::Uninitialized); // every byte value, XON and XOFF among them
        QRandomGenerator generator(24);
        std::generate(bytes.begin(), bytes.end(), [&generator] { return char(generator.bounded(256)); });
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("job.bin"));
        QVERIFY(writeFile(file, bytes));
        FarEnd line;
        QProcess program;
        runsHeadless(program);
        if (fromStdin)
            program.setStandardInputFile(file);
        program.start(QStringLiteral(PRINTER_RUVELA),
            {"--port", line.path(), "--flow", "none", "--send", fromStdin ? QStringLiteral("-") : file});
        const QByteArray read = line.read(size + 1, 20000, 1000);
        QVERIFY(finished(program, 20000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(read.size(), size);
        QVERIFY(read == bytes);
    }
    void reportsOnlyItsOwnAnswers()
    {
        // The virtual controller answers every query; an answer a run left unread belongs to no
        // later run, and answers are printed only when asked for.
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("zpc3x"));
        QProcess controller;
        controller.start(QStringLiteral(ZPC3X_SIM), {"--no-window", "--link", link});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 10000);
        auto run = [&link](const QStringList &arguments) {
            QProcess program;
            runsHeadless(program);
            program.start(QStringLiteral(PRINTER_RUVELA), QStringList{"--port", link} + arguments);
            program.waitForFinished(20000);
            return QString::fromUtf8(program.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        };
        const QRegularExpression answer(QStringLiteral("^([0-9A-F]{2} |no answer)"));
        const QStringList unasked = run({"--job", "status"});
        QVERIFY2(unasked.filter(answer).isEmpty(), qPrintable(unasked.join('\n')));
        QTest::qWait(200); // the controller's answer to that run is in the line by now
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(run({"--job", "status", "--replies", "400"}).filter(answer), QStringList{"12 (ready)"});
        }
        // A firmware query and a status query in one write: the text whole, then the status.
        const QString both = dir.filePath(QStringLiteral("both.bin"));
        QVERIFY(writeFile(both, hex("10 05 10 04")));
        const QStringList answers = run({"--send", both, "--replies", "400"});
        QCOMPARE(answers.size(), 2);
        QVERIFY2(answers[0].endsWith(QStringLiteral("\"ZPC3x virtual controller 1.0, head type 0 (384 dots)\"")),
            qPrintable(answers[0]));
        QCOMPARE(answers[1], QStringLiteral("12 (ready)"));
        controller.terminate();
        QVERIFY(finished(controller, 10000));
        // An answer still coming when the time for answers ends is printed as cut off: a
        // printer ID's text waits for its NUL however long the pause.
        FarEnd line;
        const QString id = dir.filePath(QStringLiteral("id.bin"));
        QVERIFY(writeFile(id, hex("1D 49 41")));
        QProcess program;
        runsHeadless(program);
        program.start(QStringLiteral(PRINTER_RUVELA), {"--port", line.path(), "--send", id, "--replies", "600"});
        QCOMPARE(line.read(3), hex("1D 49 41"));
        line.writeAll(hex("'_1.'"));
        QVERIFY(finished(program, 10000));
        const QString cut = QString::fromUtf8(program.readAllStandardOutput());
        QVERIFY2(QRegularExpression(QStringLiteral("^5F 31 2E \"_1\\.\" \\(cut off after [1-9]\\d* ms\\)$"),
                     QRegularExpression::MultilineOption)
                     .match(cut)
                     .hasMatch(),
            qPrintable(cut));
    }
    void helpFitsEightyColumns_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("lang");
        for (const char *program : {PRINTER_RUVELA, ZPC3X_SIM})
            for (const char *lang : {"en", "zh_CN"})
                QTest::addRow("%s %s", QFileInfo(QString::fromLatin1(program)).fileName().toLatin1().constData(), lang)
                    << QString::fromLatin1(program) << QString::fromLatin1(lang);
    }
    void helpFitsEightyColumns()
    {
        // As a terminal shows it: a Chinese character takes two columns.
        QFETCH(QString, program);
        QFETCH(QString, lang);
        QProcess run;
        runsHeadless(run);
        run.start(program, {"--help", "--lang", lang});
        QVERIFY(finished(run, 10000));
        const QString help = QString::fromUtf8(run.readAllStandardOutput());
        QVERIFY(help.contains(QLatin1String("--lang")));
        for (const QString &line : help.split(QLatin1Char('\n'))) {
            int width = 0;
            for (const QChar c : line)
                width += (c.unicode() >= 0x2E80 && c.unicode() <= 0xA4CF)
                        || (c.unicode() >= 0xFF00 && c.unicode() <= 0xFF60)
                    ? 2
                    : 1;
            QVERIFY2(width <= 80, qPrintable(QStringLiteral("%1 columns: %2").arg(width).arg(line)));
        }
    }
    void ordinaryRunsPrintNoQtNotes()
    {
        // Under ssh, cron or a container the session often has no runtime folder: an ordinary run
        // (fonts for the traffic's expected paper) still keeps stderr for what it has to say.
        FarEnd line;
        QTemporaryDir dir;
        QProcess run;
        runsHeadless(run);
        QProcessEnvironment environment = run.processEnvironment();
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        run.setProcessEnvironment(environment);
        run.start(QStringLiteral(PRINTER_RUVELA),
            {"--port", line.path(), "--job", "reset", "--traffic", dir.filePath(QStringLiteral("t.txt"))});
        QVERIFY(finished(run, 10000));
        QCOMPARE(run.exitCode(), 0);
        QCOMPARE(run.readAllStandardError(), QByteArray());
        QCOMPARE(line.read(2), hex("1B 40"));
    }
    void withoutADisplayBothProgramsSaySoAndExit()
    {
        // No platform chosen and no display: the window cannot be shown, and the program says how
        // to run without one rather than letting the platform abort.
        for (const auto &[program, arguments, told] :
            {std::tuple{QStringLiteral(PRINTER_RUVELA), QStringList{}, QByteArray("--monitor run without one")},
                std::tuple{QStringLiteral(ZPC3X_SIM), QStringList{}, QByteArray("--no-window serves without one")}}) {
            QProcess run;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
                environment.remove(QLatin1String(name));
            run.setProcessEnvironment(environment);
            run.start(program, arguments);
            QVERIFY(finished(run, 10000));
            QCOMPARE(run.exitStatus(), QProcess::NormalExit);
            QCOMPARE(run.exitCode(), 2);
            QVERIFY2(run.readAllStandardError().contains(told), qPrintable(program));
        }
    }
    void identifyTellsWhatIsOnTheLine()
    {
        // The virtual controller set to a head with a cutter, 80 mm: the card says what it is set to be.
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("zpc3x"));
        QProcess controller;
        controller.start(QStringLiteral(ZPC3X_SIM), {"--no-window", "--link", link, "--head-type", "5"});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 10000);
        QProcess program;
        runsHeadless(program);
        program.start(QStringLiteral(PRINTER_RUVELA), {"--port", link, "--identify", "--json"});
        QVERIFY(finished(program, 20000));
        QCOMPARE(program.exitCode(), 0);
        const QJsonObject card = QJsonDocument::fromJson(program.readAllStandardOutput()).object();
        QCOMPARE(card[QLatin1String("model")].toString(), QStringLiteral("ZPC3x"));
        QCOMPARE(card[QLatin1String("headType")].toInt(), 5);
        QCOMPARE(card[QLatin1String("headWidth")].toInt(), 576);
        QCOMPARE(card[QLatin1String("cutter")].toBool(), true);
        QCOMPARE(card[QLatin1String("firmware")].toString(), QStringLiteral("1.0"));
        QCOMPARE(card[QLatin1String("maker")].toString(), QStringLiteral("ZPC"));
        QCOMPARE(
            card[QLatin1String("status")].toObject()[QLatin1String("printer")].toString(), QStringLiteral("online"));
        QCOMPARE(card[QLatin1String("unanswered")].toArray().size(), 0);
        controller.terminate();
        QVERIFY(finished(controller, 10000));
        // A line where nothing answers: every query is given up in turn, and the run says so.
        FarEnd silent;
        QProcess nobody;
        runsHeadless(nobody);
        nobody.start(QStringLiteral(PRINTER_RUVELA), {"--port", silent.path(), "--flow", "none", "--identify"});
        QVERIFY(finished(nobody, 30000));
        QCOMPARE(nobody.exitCode(), 1);
        QVERIFY(
            nobody.readAllStandardOutput().startsWith("Unanswered: 10 04 01, 10 04 02, 10 04 03, 10 04 04, 10 05, "));
        QCOMPARE(silent.readUntilQuiet().toHex(' '),
            QByteArray("10 04 01 10 04 02 10 04 03 10 04 04 10 05 1d 49 01 1d 49 02 1d 49 03 1d 49 41 1d 49 42 1d 49 "
                       "43 1d 72 01"));
    }
    void endlessInputStaysInBoundedMemory()
    {
        // An input without end goes out as the line takes it, never gathered whole.
        FarEnd line;
        QProcess program;
        runsHeadless(program);
        program.setStandardInputFile(QStringLiteral("/dev/zero"));
        program.start(QStringLiteral(PRINTER_RUVELA), {"--port", line.path(), "--flow", "none", "--send", "-"});
        QVERIFY(program.waitForStarted());
        const QByteArray first = line.read(1 << 20, 20000); // it sends before its input ends
        QCOMPARE(first.size(), 1 << 20);
        QVERIFY(first.count('\0') == first.size());
        for (int i = 0; i < 20; ++i) // a second more of line-speed reading
            line.read(4 << 20, 50);
        const qint64 peak = memoryKb(program.processId(), "VmHWM");
        ::kill(pid_t(program.processId()), SIGTERM);
        QVERIFY(finished(program, 10000));
        QCOMPARE(program.exitCode(), 128 + SIGTERM);
        QVERIFY2(peak > 0 && peak < 200 * 1024, qPrintable(QStringLiteral("peak %1 kB").arg(peak)));
    }
    void quietInputIsNoStall()
    {
        // Standard input that says nothing for longer than the stall time-out is waited for: only
        // bytes that do not leave are a stall.
        FarEnd line;
        QProcess program;
        runsHeadless(program);
        program.start(QStringLiteral(PRINTER_RUVELA),
            {"--port", line.path(), "--flow", "none", "--send", "-", "--stall-timeout", "1"});
        QVERIFY(program.waitForStarted());
        program.write("first\n");
        QCOMPARE(line.read(6), QByteArray("first\n"));
        QTest::qWait(2000);
        QCOMPARE(program.state(), QProcess::Running);
        program.write("second\n");
        program.closeWriteChannel();
        QCOMPARE(line.read(7), QByteArray("second\n"));
        QVERIFY(finished(program, 10000));
        QCOMPARE(program.exitCode(), 0);
    }
    void stopsAndLeavesNothingBehind_data()
    {
        QTest::addColumn<int>("signal"); // 0: none comes, the run gives up by itself
        QTest::addColumn<QString>("said");
        QTest::newRow("SIGTERM") << int(SIGTERM) << "^Stopped: \\d+ of 1048576 bytes sent$";
        QTest::newRow("SIGINT") << int(SIGINT) << "^Stopped: \\d+ of 1048576 bytes sent$";
        QTest::newRow("SIGHUP") << int(SIGHUP) << "^Stopped: \\d+ of 1048576 bytes sent$";
        QTest::newRow("SIGQUIT") << int(SIGQUIT) << "^Stopped: \\d+ of 1048576 bytes sent$";
        QTest::newRow("the line stops moving") << 0 << "nothing left for 1 s: \\d+ of 1048576 bytes sent to ";
    }
    void stopsAndLeavesNothingBehind()
    {
        // A far end that never reads: the line fills and holds while the run is under way.
        QFETCH(int, signal);
        QFETCH(QString, said);
        FarEnd line;
        if (!signal)
            said += QRegularExpression::escape(line.path());
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("big.bin"));
        QVERIFY(writeFile(file, QByteArray(1 << 20, 'x')));
        QProcess program;
        runsHeadless(program);
        program.start(QStringLiteral(PRINTER_RUVELA),
            QStringList{"--port", line.path(), "--flow", "none", "--send", file}
                + (signal ? QStringList{"--traffic", dir.filePath("traffic.txt")}
                          : QStringList{"--stall-timeout", "1"}));
        QVERIFY(program.waitForStarted());
        // The traffic is written as the run goes: its rows are there before the run ends.
        const QString traffic = dir.filePath(QStringLiteral("traffic.txt"));
        if (signal) {
            QTRY_VERIFY(readFile(traffic).contains("\tevent\t\tconnected to "));
            QTest::qWait(300);
            ::kill(pid_t(program.processId()), signal);
        }
        QVERIFY(finished(program, 15000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), signal ? 128 + signal : 1);
        const QString err = QString::fromUtf8(program.readAllStandardError());
        QVERIFY2(err.contains(QRegularExpression(said, QRegularExpression::MultilineOption)), qPrintable(err));
        // Nothing of the run's own is left but the traffic, whole up to the signal that ended it.
        const QStringList left = signal ? QStringList{"big.bin", "traffic.txt"} : QStringList{"big.bin"};
        QCOMPARE(entriesOf(dir.path()), left);
        const QByteArray stopped = "\tstopped by SIG" + QByteArray(sigabbrev_np(signal)) + ": ";
        QVERIFY2(
            !signal || (readFile(traffic).contains("\tsent\t0\tprintStr\t") && readFile(traffic).contains(stopped)),
            readFile(traffic).right(400).constData());
    }
    void failedWritesToStandardOutputAreReported()
    {
        FarEnd line;
        QProcess program;
        runsHeadless(program);
        program.setStandardOutputFile(QStringLiteral("/dev/full"));
        program.start(QStringLiteral(PRINTER_RUVELA), {"--port", line.path(), "--job", "receipt"});
        line.read(1 << 20, 3000, 500);
        QVERIFY(finished(program, 10000));
        QCOMPARE(program.exitCode(), 1);
        const QString said = QString::fromUtf8(program.readAllStandardError());
        QVERIFY2(said.contains(QStringLiteral("cannot write to standard output")), qPrintable(said));
    }
    void lostLineCountsAllTheControllerRead()
    {
        // A controller that stops reading until the line is full, then reads all it holds and
        // goes: what the port wrote last and had not reported yet reached it too.
        FarEnd line;
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("big.bin"));
        // More than any pseudo-terminal holds, so that the tool is still writing when it goes.
        constexpr int size = 1 << 20;
        QVERIFY(writeFile(file, QByteArray(size, 'x')));
        QProcess program;
        runsHeadless(program);
        program.start(QStringLiteral(PRINTER_RUVELA), {"--port", line.path(), "--flow", "none", "--send", file});
        QVERIFY(program.waitForStarted());
        // Until the line is full: what waits in it stops growing.
        QElapsedTimer clock;
        clock.start();
        int waiting = 0, before = -1;
        while (clock.elapsed() < 20000 && !(waiting > 0 && waiting == before)) {
            QTest::qWait(300);
            before = std::exchange(waiting, 0);
            ::ioctl(line.descriptor(), FIONREAD, &waiting);
        }
        // All the line holds, at once, and gone before the tool can write more; at most half the
        // file, as the tool may refill the line while it is read.
        const qsizetype read = static_cast<sim::PtyEndpoint &>(line).read(size / 2).size();
        line.close();
        QVERIFY2(read > 0 && read < size, qPrintable(QString::number(read)));
        QVERIFY(finished(program, 10000));
        QCOMPARE(program.exitCode(), 1);
        const QString said = QString::fromUtf8(program.readAllStandardError());
        const QRegularExpressionMatch m = QRegularExpression(
            QStringLiteral("is lost: .*; (at most )?(\\d+) of %1 bytes reached the controller").arg(size))
                                              .match(said);
        QVERIFY2(m.hasMatch() && m.captured(2).toLongLong() >= read,
            qPrintable(QStringLiteral("%1 read; %2").arg(read).arg(said)));
    }
    void closedStandardDescriptorsReachNothing()
    {
        // Started with standard input, output and error closed, nothing of the run's own may land
        // on the numbers they leave free: the port would get the progress line, the lock the answer.
        FarEnd line;
        QProcess program;
        runsHeadless(program);
        program.start(QStringLiteral("/bin/sh"),
            {"-c", "exec \"$0\" --port \"$1\" --job status --replies 300 <&- >&- 2>&-", QStringLiteral(PRINTER_RUVELA),
                line.path()});
        QCOMPARE(line.read(2, 5000).toHex(' '), QByteArray("10 04"));
        line.writeAll(hex("12"));
        QVERIFY(finished(program, 10000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(line.read(1 << 16, 500).toHex(' '), QByteArray()); // and nothing more
    }
    void recordThatCannotBeWrittenStopsAndTheBytesGoOn()
    {
        // A capture that meets the user's file-size limit stops, says so, and the job still
        // reaches the line whole; the run says by its exit status that its record is not.
        FarEnd line;
        QTemporaryDir dir;
        const QString capture = dir.filePath(QStringLiteral("receipt.pcapng"));
        QProcess program;
        runsHeadless(program);
        program.setChildProcessModifier([] {
            const rlimit small{4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &small);
        });
        program.start(
            QStringLiteral(PRINTER_RUVELA), {"--port", line.path(), "--job", "receipt", "--capture", capture});
        const QByteArray arrived = line.read(1 << 20, 10000, 1000);
        QVERIFY(finished(program, 10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 1);
        QVERIFY(arrived == jobs::receipt(jobs::Cut::None).stream()); // the button's job, whole
        const QString said = QString::fromUtf8(program.readAllStandardError());
        QVERIFY2(
            said.contains(QStringLiteral("the capture stopped being written to %1: ").arg(capture)), qPrintable(said));
        QVERIFY(QFileInfo(capture).size() > 0 && QFileInfo(capture).size() <= 4096);
    }
};

QTEST_MAIN(TestHeadless)
#include "tst_headless.moc"
