// The tool under load and faults: a flood of replies, many reconnects, repeated jobs, ports that
// will not open, a line that dies mid-picture, and hostile picture files.
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "demos/Jobs.h"
#include "serial/ConsoleLines.h"

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QtEndian>

#include <unistd.h>

namespace {

int openDescriptors() { return int(QDir(QStringLiteral("/proc/self/fd")).count()); }

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void longLinesBreakForDisplay_data();
    void longLinesBreakForDisplay();
    void floodKeepsTheConsoleBounded();
    void reconnectsLeakNoDescriptors();
    void hundredPressesArriveInOrder();
    void portsThatWillNotOpen_data();
    void portsThatWillNotOpen();
    void hangUpInTheMiddleOfAPicture();
    void hostilePictures_data();
    void hostilePictures();

private:
    QTemporaryDir dir;
};

void TestFaults::longLinesBreakForDisplay_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lineSoFar");
    QTest::addColumn<QString>("shown");
    QTest::newRow("short") << "abc\ndef" << 0 << "abc\ndef";
    QTest::newRow("exactly full") << "abcd" << 0 << "abcd";
    QTest::newRow("one over") << "abcde" << 0 << "abcd\ne";
    QTest::newRow("continues a line") << "cde" << 2 << "cd\ne";
    QTest::newRow("long run") << "abcdefghij" << 0 << "abcd\nefgh\nij";
    QTest::newRow("breaks reset") << "ab\ncdefg" << 3 << "a\nb\ncdef\ng";
    QTest::newRow("empty") << "" << 9 << "";
}

void TestFaults::longLinesBreakForDisplay()
{
    QFETCH(QString, text);
    QFETCH(int, lineSoFar);
    QFETCH(QString, shown);
    QCOMPARE(console::breakLongLines(text, lineSoFar, 4), shown);
}

void TestFaults::floodKeepsTheConsoleBounded()
{
    MainWindow window;
    PtyPeer peer;
    connectTo(window, peer.slavePath());
    auto *edit = window.findChild<QPlainTextEdit *>("editRuvela");
    // 3 MB without a single line break, then with breaks.
    const QByteArray chunk(64 * 1024, 'x');
    for (int i = 0; i < 48; ++i)
        peer.write(chunk);
    QByteArray lines;
    for (int i = 0; i < 20000; ++i)
        lines += "line " + QByteArray::number(i) + '\n';
    peer.write(lines + "end");
    QTRY_VERIFY_WITH_TIMEOUT(edit->toPlainText().endsWith(QStringLiteral("line 19999\nend")), 30000);
    QVERIFY(edit->document()->blockCount() <= console::maxLines);
    for (QTextBlock b = edit->document()->begin(); b.isValid(); b = b.next())
        QVERIFY(b.length() <= console::maxLineLength + 1);
    // The line still works both ways.
    press(window, "pushButton_LineFeed");
    QCOMPARE(peer.read(1), QByteArray("\n"));
}

void TestFaults::reconnectsLeakNoDescriptors()
{
    MainWindow window;
    PtyPeer peer;
    connectTo(window, peer.slavePath());
    auto *connectAction = window.findChild<QAction *>("actionConnect");
    auto *disconnectAction = window.findChild<QAction *>("actionDisconnect");
    disconnectAction->trigger();
    const int before = openDescriptors();
    for (int i = 0; i < 1000; ++i) {
        connectAction->trigger();
        QVERIFY(window.findChild<QSerialPort *>()->isOpen());
        disconnectAction->trigger();
    }
    QCOMPARE(openDescriptors(), before);
    connectAction->trigger();
    press(window, "pushButtonReset");
    QCOMPARE(peer.read(2), hex("1B 40"));
}

void TestFaults::hundredPressesArriveInOrder()
{
    MainWindow window;
    PtyPeer peer;
    connectTo(window, peer.slavePath());
    QByteArray expected;
    for (int i = 0; i < 100; ++i) {
        // Alternate two jobs, so that order shows.
        press(window, i % 2 ? "pushButtonBarcodeEAN8" : "pushButtonReceiptPartialCut");
        expected += i % 2 ? jobs::barcode(cmd::Ean8, false).stream() : jobs::receipt(jobs::Cut::Partial).stream();
    }
    const QByteArray got = peer.read(expected.size(), 60000);
    QCOMPARE(got.size(), expected.size());
    QVERIFY(got == expected);
}

void TestFaults::portsThatWillNotOpen_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("busy") << "busy";
    QTest::newRow("not a serial device") << "not a tty";
    QTest::newRow("denied") << "denied";
}

void TestFaults::portsThatWillNotOpen()
{
    QFETCH(QString, kind);
    PtyPeer good, other;
    QString path;
    QSerialPort holder; // another program holding the line
    if (kind == QLatin1String("missing")) {
        path = QStringLiteral("/dev/ttyRUVELA-missing");
    } else if (kind == QLatin1String("busy")) {
        path = other.slavePath();
        holder.setPortName(path);
        QVERIFY(holder.open(QIODevice::ReadWrite));
    } else if (kind == QLatin1String("not a tty")) {
        path = QStringLiteral("/dev/null");
    } else {
        if (::geteuid() == 0)
            QSKIP("root opens any device: permission cannot be denied here");
        path = dir.filePath(QStringLiteral("locked"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.setPermissions(QFileDevice::Permissions());
    }
    MainWindow window;
    ModalCloser closer;
    closer.arm();
    connectTo(window, path);
    QTRY_VERIFY(closer.done());
    QCOMPARE(closer.title, QStringLiteral("Error"));
    QVERIFY(!closer.text.isEmpty());
    QCOMPARE(statusText(window), QStringLiteral("Open error"));
    // Connecting afterwards still works.
    QVERIFY(connectTo(window, good.slavePath()).startsWith(QStringLiteral("Connected to")));
    press(window, "pushButtonReset");
    QCOMPARE(good.read(2), hex("1B 40"));
}

void TestFaults::hangUpInTheMiddleOfAPicture()
{
    QImage picture(384, 65535, QImage::Format_Mono);
    picture.fill(1);
    const QString file = dir.filePath(QStringLiteral("tall.png"));
    QVERIFY(picture.save(file));
    MainWindow window;
    PtyPeer peer;
    connectTo(window, peer.slavePath());
    QVERIFY(QMetaObject::invokeMethod(&window, "loadFile", Q_ARG(QString, file)));
    press(window, "pushButton_58PrintH");
    QVERIFY(peer.read(100000).size() == 100000); // a part of the 3 MB is through
    ModalCloser closer;
    closer.arm();
    peer.hangUp();
    QTRY_VERIFY(closer.done());
    QCOMPARE(closer.title, QStringLiteral("Critical Error"));
    QCOMPARE(statusText(window), QStringLiteral("Disconnected"));
    // Still responsive: a job now asks to connect first.
    ModalCloser guard;
    guard.arm();
    press(window, "pushButtonReset");
    QTRY_VERIFY(guard.done());
    QCOMPARE(guard.title, QStringLiteral("Serial Port Connect"));
}

void TestFaults::hostilePictures_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("loads");

    auto encoded = [](const char *format) {
        QImage img(64, 64, QImage::Format_RGB32);
        img.fill(Qt::darkGray);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        img.save(&buffer, format);
        return bytes;
    };
    const QByteArray png = encoded("PNG"), bmp = encoded("BMP"), jpeg = encoded("JPEG");
    QVERIFY(!jpeg.isEmpty());
    QTest::newRow("truncated PNG") << png.left(png.size() / 2) << "cut.png" << false;
    // Cut inside the header: Qt reads a BMP whose pixel data alone is cut short, as it is.
    QTest::newRow("truncated BMP") << bmp.left(50) << "cut.bmp" << false;
    QTest::newRow("truncated JPEG") << jpeg.left(200) << "cut.jpg" << false;
    QTest::newRow("empty file") << QByteArray() << "empty.png" << false;
    // A BMP header that claims 100000 x 100000 at 24 bits and holds no pixels.
    QByteArray huge = bmp.left(54);
    qToLittleEndian<qint32>(100000, huge.data() + 18);
    qToLittleEndian<qint32>(100000, huge.data() + 22);
    QTest::newRow("100000 x 100000 header") << huge << "huge.bmp" << false;
    QTest::newRow("text named .png") << QByteArray("not a picture at all\n") << "text.png" << false;
    // A real picture under another format's extension is read by its content.
    QTest::newRow("PNG named .bmp") << png << "really-png.bmp" << true;
}

void TestFaults::hostilePictures()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, name);
    QFETCH(bool, loads);
    const QString path = dir.filePath(name);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();

    MainWindow window;
    bool answered = false;
    ModalCloser closer([&](QWidget *modal) {
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            if (answered) {
                dialog->reject();
            } else {
                answered = true;
                dialog->selectFile(path);
                QMetaObject::invokeMethod(dialog, "accept");
            }
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            box->accept();
        }
    });
    closer.arm(loads ? 1 : 3); // dialog, then for a bad file the box and the dialog again
    press(window, "pushButton_Load");
    QTRY_VERIFY(closer.done());
    if (loads) {
        QVERIFY(consoleText(window).contains(QStringLiteral("Width: 64 pixel")));
    } else {
        QVERIFY2(closer.texts.value(1).startsWith(QStringLiteral("Cannot load %1: ").arg(path)),
            qPrintable(closer.texts.value(1)));
        QCOMPARE(consoleText(window), QStringLiteral("Loading image:"));
    }
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
