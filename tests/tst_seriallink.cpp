// The serial link over a real pseudo-terminal: connecting, failing to connect, replies, and a
// far end that goes away.
#include "TestSupport.h"

#include "app/MainWindow.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <sys/resource.h>

class TestSerialLink : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void connectsAndDisconnects();
    void failedOpenShowsTheReasonAndCanBeRetried();
    void repliesAppearAsText_data();
    void repliesAppearAsText();
    void hangUpClosesThePortAndGoesQuiet();
    void transientErrorsOnALiveLineAreIgnored();

private:
    bool enabled(const char *action) { return w->findChild<QAction *>(action)->isEnabled(); }
    MainWindow *w = nullptr;
    PtyPeer *peer = nullptr;
};

void TestSerialLink::init()
{
    w = new MainWindow;
    peer = new PtyPeer;
}

void TestSerialLink::cleanup()
{
    delete w;
    delete peer;
}

void TestSerialLink::connectsAndDisconnects()
{
    QCOMPARE(connectTo(*w, peer->slavePath()),
        QStringLiteral("Connected to %1 : 115200, 8, None, 1, XON/XOFF").arg(peer->slavePath()));
    QVERIFY(!enabled("actionConnect"));
    QVERIFY(enabled("actionDisconnect"));
    QVERIFY(!enabled("actionConfigure"));
    QVERIFY(enabled("actionQuit"));

    w->findChild<QAction *>("actionDisconnect")->trigger();
    QCOMPARE(statusText(*w), QStringLiteral("Disconnected"));
    QVERIFY(enabled("actionConnect"));
    QVERIFY(!enabled("actionDisconnect"));
    QVERIFY(enabled("actionConfigure"));

    // Closing a closed port still resets the state.
    QVERIFY(QMetaObject::invokeMethod(w, "closeSerialPort"));
    QCOMPARE(statusText(*w), QStringLiteral("Disconnected"));

    // The same port object opens again.
    w->findChild<QAction *>("actionConnect")->trigger();
    QVERIFY(statusText(*w).startsWith(QStringLiteral("Connected to ")));
}

void TestSerialLink::failedOpenShowsTheReasonAndCanBeRetried()
{
    ModalCloser closer;
    closer.arm();
    connectTo(*w, QStringLiteral("/dev/no-such-ruvela-port"));
    QTRY_VERIFY(closer.done());
    QCOMPARE(closer.title, QStringLiteral("Error"));
    QCOMPARE(closer.text, w->findChild<QSerialPort *>()->errorString());
    QVERIFY(!closer.text.isEmpty());
    QCOMPARE(statusText(*w), QStringLiteral("Open error"));
    QVERIFY(enabled("actionConnect"));
    QVERIFY(enabled("actionConfigure"));
    QVERIFY(!enabled("actionDisconnect"));

    // Connect again with the same settings fails the same way; a right path then works.
    closer.arm();
    w->findChild<QAction *>("actionConnect")->trigger();
    QTRY_VERIFY(closer.done());
    QCOMPARE(statusText(*w), QStringLiteral("Open error"));
    QVERIFY(connectTo(*w, peer->slavePath()).startsWith(QStringLiteral("Connected to ")));
}

void TestSerialLink::repliesAppearAsText_data()
{
    QTest::addColumn<QList<QByteArray>>("arrivals");
    QTest::addColumn<QString>("shown");
    QTest::newRow("pieces") << QList<QByteArray>{"\x48\x49", "\x0A"} << QStringLiteral("HI\n");
    QTest::newRow("split character") << QList<QByteArray>{"caf\xC3", "\xA9 ok"} << QStringLiteral("café ok");
    QTest::newRow("split euro") << QList<QByteArray>{"\xE2", "\x82", "\xAC"} << QStringLiteral("€");
    QTest::newRow("cut short") << QList<QByteArray>{"\xC3", "!"} << QStringLiteral("\uFFFD!");
    QTest::newRow("invalid bytes") << QList<QByteArray>{"a\xFF\xFE", "b"} << QStringLiteral("a\uFFFD\uFFFDb");
}

void TestSerialLink::repliesAppearAsText()
{
    QFETCH(QList<QByteArray>, arrivals);
    QFETCH(QString, shown);
    connectTo(*w, peer->slavePath());
    auto *console = w->findChild<QPlainTextEdit *>("editRuvela");
    console->setPlainText(QStringLiteral("typed:"));
    console->moveCursor(QTextCursor::End);
    auto *port = w->findChild<QSerialPort *>();
    QSignalSpy arrived(port, &QSerialPort::readyRead);
    for (const QByteArray &a : arrivals) {
        const int before = arrived.count();
        peer->write(a);
        QTRY_VERIFY(arrived.count() > before); // each piece is its own arrival
    }
    QTRY_COMPARE(consoleText(*w), QStringLiteral("typed:") + shown);
}

void TestSerialLink::hangUpClosesThePortAndGoesQuiet()
{
    connectTo(*w, peer->slavePath());
    auto *port = w->findChild<QSerialPort *>();
    QSignalSpy errors(port, &QSerialPort::errorOccurred);
    ModalCloser closer;
    closer.arm();
    peer->hangUp();
    QTRY_VERIFY(closer.done());
    QCOMPARE(closer.title, QStringLiteral("Critical Error"));
    QCOMPARE(statusText(*w), QStringLiteral("Disconnected"));
    QVERIFY(!port->isOpen());
    QVERIFY(enabled("actionConnect"));
    QVERIFY(!enabled("actionDisconnect"));

    // Afterwards the event loop is idle: no more errors, and almost no CPU spent waiting.
    const qsizetype errorsAtClose = errors.count();
    QVERIFY2(errorsAtClose < 50, qPrintable(QString::number(errorsAtClose)));
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    QTest::qWait(300);
    getrusage(RUSAGE_SELF, &after);
    QCOMPARE(errors.count(), errorsAtClose);
    const long cpuMicros = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) * 1000000L
        + (after.ru_utime.tv_usec - before.ru_utime.tv_usec);
    QVERIFY2(cpuMicros < 150000, qPrintable(QString::number(cpuMicros))); // half of the wait at most
}

void TestSerialLink::transientErrorsOnALiveLineAreIgnored()
{
    connectTo(*w, peer->slavePath());
    auto *port = w->findChild<QSerialPort *>();
    // A write or read error on a line that is still there changes nothing.
    QVERIFY(QMetaObject::invokeMethod(w, "handleError", Q_ARG(QSerialPort::SerialPortError, QSerialPort::WriteError)));
    QVERIFY(QMetaObject::invokeMethod(w, "handleError", Q_ARG(QSerialPort::SerialPortError, QSerialPort::ReadError)));
    QVERIFY(QMetaObject::invokeMethod(
        w, "handleError", Q_ARG(QSerialPort::SerialPortError, QSerialPort::UnsupportedOperationError)));
    QVERIFY(port->isOpen());
    QVERIFY(statusText(*w).startsWith(QStringLiteral("Connected to ")));
    peer->write("still here");
    QTRY_COMPARE(consoleText(*w), QStringLiteral("still here"));
}

QTEST_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
