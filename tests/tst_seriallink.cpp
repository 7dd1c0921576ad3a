// The serial link over a real pseudo-terminal: a window's sessions on the line as scripts
// (connecting, ports that will not open, many reconnects, the send line, the console, a line that
// dies, a long write held back and cancelled), long jobs under flow control, a flood of replies;
// what left the port and when the far end held it back, as the link reports them.
#include "SimSupport.h"

#include "app/MainWindow.h"
#include "serial/SendQueue.h"
#include "serial/SerialLink.h"
#include "tool/Launch.h"

#include <cstring>
#include <sys/resource.h>

class TestSerialLink : public QObject
{
    Q_OBJECT

private slots:
    void init() { w = new MainWindow, peer = new FarEnd; }
    void cleanup() { delete w, delete peer; }
    void windowSessions_data();
    void windowSessions();
    void bytesSentAreWhatTheFarEndRead_data();
    void bytesSentAreWhatTheFarEndRead();
    void queueCountsEveryByte_data();
    void queueCountsEveryByte();

private:
    void trigger(const char *action) { w->findChild<QAction *>(action)->trigger(); }
    MainWindow *w = nullptr;
    FarEnd *peer = nullptr;
    QTemporaryDir dir;
};

void TestSerialLink::windowSessions_data()
{
    QTest::addColumn<QStringList>("steps");
    for (const auto &[name, steps] : dataSections(QStringLiteral("seriallink-window.txt")))
        QTest::newRow(qPrintable(name)) << steps;
}

void TestSerialLink::windowSessions()
{
    QFETCH(QStringList, steps);
    FarEnd other;
    QProcess controller;
    const QString link = dir.filePath(QStringLiteral("zpc3x")),
                  logFile = dir.filePath(QStringLiteral("controller.log"));
    QSerialPort holder(other.path());
    auto *edit = w->findChild<QLineEdit *>("lineEditSend");
    auto *console = w->findChild<QPlainTextEdit *>("editRuvela");
    ModalCloser box;
    QString boxTitle, boxText; // the box the next step must show: its title, and a text it holds
    QString counted; // the count the last console pattern caught
    for (QString step : steps) {
        step.replace(QLatin1String("LINE"), peer->path()).replace(QLatin1String("HELD"), other.path());
        step.replace(QLatin1String("DATA"), QStringLiteral(RUVELA_TEST_DATA))
            .replace(QLatin1String("CONTROLLER"), link);
        const QString op = step.section(QLatin1Char(' '), 0, 0), arg = step.section(QLatin1Char(' '), 1);
        const QStringList args = arg.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (op == QLatin1String("box")) {
            box.arm();
            boxTitle = arg.section(QLatin1String(": "), 0, 0), boxText = arg.section(QLatin1String(": "), 1);
            continue;
        }
        if (op == QLatin1String("launch")) {
            w->start(parseLaunch(QStringList{"printer-ruvela"} + args));
        } else if (op == QLatin1String("hold")) { // another program holds the port HELD
            QVERIFY(holder.open(QIODevice::ReadWrite));
        } else if (op == QLatin1String("action")) {
            trigger(qPrintable(arg));
        } else if (op == QLatin1String("enabled") || op == QLatin1String("disabled")) {
            for (const QString &name : args)
                QVERIFY2(
                    w->findChild<QAction *>(name)->isEnabled() == (op == QLatin1String("enabled")), qPrintable(name));
        } else if (op == QLatin1String("label")) {
            QTRY_VERIFY2(w->findChild<QLabel *>(args[0])->text().startsWith(arg.section(QLatin1Char(' '), 1)),
                qPrintable(w->findChild<QLabel *>(args[0])->text()));
        } else if (op == QLatin1String("invoke")) {
            QVERIFY(QMetaObject::invokeMethod(w, qPrintable(arg)));
        } else if (op == QLatin1String("faults")) { // that the port reports on a line still there
            for (auto error : {QSerialPort::ResourceError, QSerialPort::WriteError, QSerialPort::ReadError,
                     QSerialPort::UnsupportedOperationError})
                QVERIFY(QMetaObject::invokeMethod(w, "handleError", Q_ARG(QSerialPort::SerialPortError, error)));
        } else if (op == QLatin1String("reconnects")) { // leaving no descriptor open
            const auto descriptors = [] { return QDir(QStringLiteral("/proc/self/fd")).count(); };
            const auto before = descriptors();
            for (int i = 0; i < arg.toInt(); ++i) {
                trigger("actionConnect");
                QVERIFY(statusText(*w).startsWith(QStringLiteral("Connected to ")));
                trigger("actionDisconnect");
            }
            QCOMPARE(descriptors(), before);
        } else if (op == QLatin1String("mode")) {
            w->findChild<QComboBox *>("comboBoxSendMode")->setCurrentText(arg);
        } else if (op == QLatin1String("type") || op == QLatin1String("set")) {
            edit->setText(arg);
        } else if (op == QLatin1String("key")) {
            QTest::keyClick(edit, arg == QLatin1String("Up") ? Qt::Key_Up : Qt::Key_Down);
        } else if (op == QLatin1String("line")) {
            QCOMPARE(edit->text(), arg);
        } else if (op == QLatin1String("press")) {
            press(*w, qPrintable(arg));
        } else if (op == QLatin1String("click")) {
            QTest::mouseClick(w->findChild<QPushButton *>(arg), Qt::LeftButton);
        } else if (op == QLatin1String("sent")) { // these, or with none no more
            const QByteArray bytes = hex(arg.toLatin1());
            QCOMPARE(
                (bytes.isEmpty() ? peer->readUntilQuiet(100) : peer->read(bytes.size())).toHex(' '), bytes.toHex(' '));
        } else if (op == QLatin1String("got")) { // N bytes at least reached the far end
            QCOMPARE(peer->read(arg.toInt()).size(), arg.toInt());
        } else if (op == QLatin1String("counted")) { // what arrives now is what the note counted
            const QByteArray arrived = peer->readUntilQuiet(300);
            QVERIFY(!arrived.isEmpty() && arrived.size() == counted.toLongLong());
        } else if (op == QLatin1String("far")) { // " xN" at the end: N times
            peer->writeAll(
                hex(arg.section(QLatin1String(" x"), 0, 0).toLatin1())
                    .repeated(arg.contains(QLatin1String(" x")) ? arg.section(QLatin1String(" x"), 1).toInt() : 1));
        } else if (op == QLatin1String("lose")) {
            peer->close();
        } else if (op == QLatin1String("closed")) { // the port itself, not only the window's state
            QVERIFY(!w->findChild<QSerialPort *>()->isOpen());
        } else if (op == QLatin1String("console")) {
            QTRY_COMPARE(consoleText(*w), QString::fromUtf8(hex(arg.toUtf8())));
        } else if (op == QLatin1String("console~")) {
            const QRegularExpression pattern(arg);
            QTRY_VERIFY2_WITH_TIMEOUT(
                pattern.match(consoleText(*w)).hasMatch(), qPrintable(consoleText(*w).right(200)), 60000);
            counted = pattern.match(consoleText(*w)).captured(1);
        } else if (op == QLatin1String("typed")) { // text of the user's own, the cursor behind it
            console->setPlainText(arg), console->moveCursor(QTextCursor::End);
        } else if (op == QLatin1String("hexview")) {
            w->findChild<QCheckBox *>("checkBoxHex")->setChecked(arg == QLatin1String("on"));
        } else if (op == QLatin1String("paste")) { // a paste of any length goes out whole
            QByteArray bytes;
            for (int i = 0; i < arg.toInt(); ++i)
                bytes += char(0x20 + i % 0x5F);
            edit->setText(QString::fromLatin1(bytes.toHex(' ')));
            QTest::keyClick(edit, Qt::Key_Return);
            QVERIFY(peer->read(bytes.size(), 20000) == bytes);
        } else if (op == QLatin1String("picture")) { // of N rows, every seventh inked
            QImage picture(384, arg.toInt(), QImage::Format_Mono);
            picture.fill(0);
            for (int y = 0; y < picture.height(); y += 7)
                std::memset(picture.scanLine(y), 0x5A, 48);
            const QString file = dir.filePath(QStringLiteral("picture.png"));
            QVERIFY(picture.save(file) && QMetaObject::invokeMethod(w, "loadFile", Q_ARG(QString, file)));
            press(*w, "pushButton_58PrintH");
        } else if (op == QLatin1String("bounded")) { // at most N lines of at most M characters
            QVERIFY(console->blockCount() <= args[0].toInt());
            for (QTextBlock b = console->document()->begin(); b.isValid(); b = b.next())
                QVERIFY(b.length() <= args[1].toInt());
        } else if (op == QLatin1String("controller")) { // the virtual controller at CONTROLLER, its paper this fast
            controller.setStandardOutputFile(logFile);
            controller.start(QStringLiteral(ZPC3X_SIM), {"--no-window", "--link", link, "--speed", arg, "--log"});
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).isSymLink(), 10000);
        } else if (op == QLatin1String("send-text")) { // Send File: N long lines, wrapped, so that the log keeps up
            const QString file = dir.filePath(QStringLiteral("long.txt"));
            const QByteArray line = QByteArray("The quick brown fox jumps over the lazy dog 0123456789 ").repeated(18);
            QVERIFY(writeFile(file, (line + '\n').repeated(arg.toInt())));
            answerFileDialog(this, file);
            trigger("actionSendFile");
        } else if (op == QLatin1String("logged")) {
            // The controller's log reaches this line, with no overrun; XON and XOFF are the line's
            // own, and a tool that honours them never sees them as replies.
            QFile reader(logFile);
            QVERIFY(reader.open(QIODevice::ReadOnly));
            QByteArray log;
            QElapsedTimer clock;
            clock.start();
            while (!log.contains(arg.toLatin1() + '\n') && clock.elapsed() < 120000)
                QTest::qWait(20), log = log.right(4096) + reader.readAll();
            QVERIFY2(log.contains(arg.toLatin1() + '\n') && !log.contains("overrun"), log.right(300).constData());
            const QByteArray &replies = w->findChild<SerialLink *>()->received();
            QVERIFY(!replies.contains('\x11') && !replies.contains('\x13'));
        } else if (op == QLatin1String("job")) { // N bytes handed over as the buttons do
            const QByteArray job(arg.toInt(), 'x');
            QVERIFY(QMetaObject::invokeMethod(w, "Write",
                Q_ARG(const unsigned char *, reinterpret_cast<const unsigned char *>(job.constData())),
                Q_ARG(size_t, size_t(job.size()))));
        } else if (op == QLatin1String("show")) { // at the size the window opens with
            w->show();
        } else if (op == QLatin1String("shown") || op == QLatin1String("hidden")) {
            QTRY_VERIFY(w->findChild<QWidget *>(arg)
                && w->findChild<QWidget *>(arg)->isVisible() == (op == QLatin1String("shown")));
            QVERIFY2(op == QLatin1String("hidden") || cutOff(w->findChild<QWidget *>(arg)).isEmpty(), qPrintable(arg));
        } else if (op == QLatin1String("saved")) { // Save Sent Bytes saves N bytes, its title holding the rest
            const QString saved = dir.filePath(QStringLiteral("saved.bin"));
            ModalCloser *save = answerFileDialog(this, saved);
            trigger("actionSaveSent");
            QTRY_VERIFY(save->done());
            QVERIFY2(save->title.contains(arg.section(QLatin1Char(' '), 1)), qPrintable(save->title));
            QCOMPARE(QFileInfo(saved).size(), args[0].toLongLong());
        } else if (op == QLatin1String("idle")) { // no more errors, and almost no CPU spent waiting
            QSignalSpy errors(w->findChild<QSerialPort *>(), &QSerialPort::errorOccurred);
            rusage before{}, after{};
            getrusage(RUSAGE_SELF, &before);
            QTest::qWait(300);
            getrusage(RUSAGE_SELF, &after);
            QCOMPARE(errors.count(), 0);
            const long cpuMicros = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) * 1000000L
                + (after.ru_utime.tv_usec - before.ru_utime.tv_usec);
            QVERIFY2(cpuMicros < 150000, qPrintable(QString::number(cpuMicros)));
        } else if (op == QLatin1String("wait")) {
            QTest::qWait(arg.toInt());
        } else {
            QFAIL(qPrintable(step));
        }
        if (op == QLatin1String("type"))
            QTest::keyClick(edit, Qt::Key_Return);
        if (!boxTitle.isEmpty()) {
            QTRY_VERIFY(box.done());
            QVERIFY2(box.title == boxTitle && box.text.contains(boxText), qPrintable(box.title + box.text));
            boxTitle.clear();
        }
    }
    controller.terminate();
    QVERIFY(controller.state() == QProcess::NotRunning || controller.waitForFinished(5000));
}

namespace {

// Bytes that tell their own position apart: a run of n counting from seed.
QByteArray counting(qsizetype n, int seed)
{
    QByteArray out(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        out[i] = char((seed + i * 7 + i / 251) & 0xFF);
    return out;
}

} // namespace

void TestSerialLink::bytesSentAreWhatTheFarEndRead_data() { addTableRows(QStringLiteral("seriallink-sent.txt")); }

void TestSerialLink::bytesSentAreWhatTheFarEndRead()
{
    QFETCH(QStringList, row);
    // A link of its own on the far end's line, with every bytesSent payload joined in order; a
    // gap or overlap in the offsets is recorded as a fault.
    SerialLink link;
    QByteArray sent;
    QStringList faults;
    connect(&link, &SerialLink::bytesSent, this, [&sent, &faults](qint64 offset, const QByteArray &bytes) {
        if (offset != sent.size())
            faults << QStringLiteral("%1 bytes at offset %2 after %3").arg(bytes.size()).arg(offset).arg(sent.size());
        sent += bytes;
    });
    QVERIFY(link.open(lineTo(*peer, QSerialPort::SoftwareControl)));
    QSignalSpy holds(&link, &SerialLink::heldChanged);
    QByteArray handed, last, read;
    int waited = 0;
    for (const QString &step : row[1].split(QLatin1Char(';'))) {
        const QString op = step.trimmed().section(QLatin1Char(' '), 0, 0);
        const int n = step.trimmed().section(QLatin1Char(' '), 1).toInt();
        if (op == QLatin1String("write") || op == QLatin1String("file")) {
            handed += (last = counting(n, int(handed.size())));
            const QString file = dir.filePath(QStringLiteral("sent.bin"));
            QString why;
            if (op == QLatin1String("write"))
                link.write(last.constData(), n);
            else
                QVERIFY2(writeFile(file, last) && link.sendFile(file, why), qPrintable(why));
        } else if (op == QLatin1String("read")) {
            read += peer->read(n);
            QVERIFY(read.size() >= n);
        } else if (op == QLatin1String("xoff") || op == QLatin1String("xon")) {
            peer->writeAll(hex(op == QLatin1String("xoff") ? "13" : "11"));
        } else if (op == QLatin1String("wait")) {
            QTest::qWait(waited = n);
        } else if (op == QLatin1String("quiet")) {
            read += peer->readUntilQuiet(300);
        } else if (op == QLatin1String("short")) { // the rest has not left yet
            QVERIFY(read.size() < handed.size() && sent.size() < handed.size());
        } else if (op == QLatin1String("held")) {
            QVERIFY(holds.count() == 1 && holds.at(0).at(0).toBool() && link.isHeld() && link.queued() > 0);
        } else if (op == QLatin1String("cancel")) {
            link.cancel();
        } else if (op == QLatin1String("close")) {
            link.close();
        } else {
            QFAIL(qPrintable(step));
        }
    }
    read += peer->readUntilQuiet(300);
    QTRY_COMPARE(link.queued(), 0);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    QVERIFY(sent == read);
    QCOMPARE(link.sentTotal(), read.size());
    // Whole; or cut short, a start of what was handed, with the write after a cancel whole behind it.
    const QString arrived = row[2].trimmed();
    if (arrived == QLatin1String("whole"))
        QVERIFY(read == handed);
    else if (arrived == QLatin1String("cut"))
        QVERIFY(read.size() < handed.size() && handed.startsWith(read));
    else
        QVERIFY(read.endsWith(last) && read.size() < handed.size() && handed.startsWith(read.chopped(last.size())));
    // How many holds were reported, and the last one's length against the wait that made it.
    if (row[3].trimmed() == QLatin1String("-"))
        return;
    QCOMPARE(holds.count(), row[3].toInt());
    QVERIFY(!link.isHeld());
    if (holds.count() == 2) {
        const qint64 heldMs = holds.at(1).at(1).toLongLong();
        QVERIFY2(!holds.at(1).at(0).toBool() && heldMs > waited * 0.6 && heldMs < waited * 3,
            qPrintable(QString::number(heldMs)));
    }
}

void TestSerialLink::queueCountsEveryByte_data() { addTableRows(QStringLiteral("sendqueue.txt")); }

void TestSerialLink::queueCountsEveryByte()
{
    QFETCH(QStringList, row);
    SendQueue queue;
    QString dropped;
    QByteArray handed, written; // the bytes handed over are counted from 0: each its offset's low byte
    for (const QString &step : row[1].split(QLatin1Char(';'))) {
        const QString op = step.trimmed().section(QLatin1Char(' '), 0, 0);
        const int n = step.trimmed().section(QLatin1Char(' '), 1).toInt();
        for (int i = 0; op.startsWith(QLatin1String("hand")) && i < n; ++i)
            handed += char(handed.size());
        if (op.startsWith(QLatin1String("hand")))
            queue.hand(handed.constData() + handed.size() - n, n, op == QLatin1String("handp"));
        else if (op == QLatin1String("promise"))
            queue.promise(n);
        else if (op == QLatin1String("unpromise"))
            queue.unpromise(n);
        else if (op == QLatin1String("give"))
            queue.give(n);
        else if (op == QLatin1String("written"))
            written += queue.written(n);
        else if (op == QLatin1String("close"))
            written += queue.close(n);
        else if (op == QLatin1String("drop")) {
            const auto [done, total] = queue.dropStaged();
            dropped = QStringLiteral("dropped %1 of %2").arg(done).arg(total);
        } else
            QFAIL(qPrintable(step));
    }
    QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5/%6 %7")
                 .arg(queue.handed())
                 .arg(queue.given())
                 .arg(queue.writtenTotal())
                 .arg(queue.queued())
                 .arg(queue.runDone())
                 .arg(queue.runTotal())
                 .arg(queue.kept().size()),
        row[2].trimmed());
    QCOMPARE(dropped, row.value(3).trimmed());
    // What was reported written is what was handed, in order, and is what is kept.
    QCOMPARE(written, handed.left(written.size()));
    QCOMPARE(queue.kept(), written);
}

QTEST_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
