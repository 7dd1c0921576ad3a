#include "TestSupport.h"

#include "app/MainWindow.h"
#include "serial/SettingsDialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

QByteArray hex(const char *text)
{
    QByteArray out;
    const QByteArray s(text);
    for (qsizetype i = 0; i < s.size();) {
        const char c = s.at(i);
        if (c == ' ' || c == '\n' || c == '\t') {
            ++i;
        } else if (c == '\'') {
            const qsizetype end = s.indexOf('\'', i + 1);
            Q_ASSERT(end > i);
            out += s.mid(i + 1, end - i - 1);
            i = end + 1;
        } else {
            out.append(char(s.mid(i, 2).toUInt(nullptr, 16)));
            i += 2;
        }
    }
    return out;
}

PtyPeer::PtyPeer()
{
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
        qFatal("openpty failed: %s", strerror(errno));
    termios t{};
    ::tcgetattr(master, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(master, TCSANOW, &t);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    keepSlave = slave;
    path = QString::fromLocal8Bit(name);
}

PtyPeer::~PtyPeer() { hangUp(); }

void PtyPeer::hangUp()
{
    if (keepSlave >= 0)
        ::close(keepSlave);
    keepSlave = -1;
    if (master >= 0)
        ::close(master);
    master = -1;
}

QByteArray PtyPeer::read(qsizetype n, int timeoutMs)
{
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    char buf[65536];
    while (out.size() < n && clock.elapsed() < timeoutMs && master >= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd pfd{master, POLLIN, 0};
        if (::poll(&pfd, 1, 5) > 0 && (pfd.revents & POLLIN)) {
            const ssize_t got = ::read(master, buf, size_t(qMin<qsizetype>(sizeof buf, n - out.size())));
            if (got > 0)
                out.append(buf, got);
        }
    }
    return out;
}

QByteArray PtyPeer::readUntilQuiet(int quietMs, int timeoutMs)
{
    QByteArray out;
    QElapsedTimer clock, quiet;
    clock.start();
    quiet.start();
    char buf[65536];
    while (quiet.elapsed() < quietMs && clock.elapsed() < timeoutMs && master >= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd pfd{master, POLLIN, 0};
        if (::poll(&pfd, 1, 5) > 0 && (pfd.revents & POLLIN)) {
            const ssize_t got = ::read(master, buf, sizeof buf);
            if (got > 0) {
                out.append(buf, got);
                quiet.restart();
            }
        }
    }
    return out;
}

void PtyPeer::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (errno == EAGAIN)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        else
            qFatal("write to pty master failed: %s", strerror(errno));
    }
}

ModalCloser::ModalCloser(std::function<void(QWidget *)> handler)
    : handler(std::move(handler))
{ }

void ModalCloser::arm(int times)
{
    remaining = times;
    QTimer::singleShot(0, this, &ModalCloser::poll);
}

void ModalCloser::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal) {
        // Not up yet: look again shortly, from whichever event loop runs then.
        QTimer::singleShot(5, this, &ModalCloser::poll);
        return;
    }
    title = modal->windowTitle();
    text.clear();
    if (auto *box = qobject_cast<QMessageBox *>(modal))
        text = box->text();
    titles << title;
    texts << text;
    if (handler) {
        handler(modal);
    } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        box->accept();
    } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
        dialog->reject();
    } else {
        modal->close();
    }
    if (--remaining > 0)
        QTimer::singleShot(0, this, &ModalCloser::poll);
}

void ConnectedToolTest::initTestCase()
{
    w = new MainWindow;
    peer = new PtyPeer;
    QVERIFY(connectTo(*w, peer->slavePath()).startsWith(QStringLiteral("Connected to")));
}

void ConnectedToolTest::cleanupTestCase()
{
    delete w;
    delete peer;
}

namespace {

SettingsDialog *settingsDialog()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *d = qobject_cast<SettingsDialog *>(w))
            return d;
    }
    return nullptr;
}

} // namespace

QString connectTo(MainWindow &window, const QString &path)
{
    window.findChild<QAction *>("actionConfigure")->trigger();
    SettingsDialog *dialog = settingsDialog();
    Q_ASSERT(dialog && dialog->isVisible());
    auto *ports = dialog->findChild<QComboBox *>("serialPortInfoListBox");
    ports->setCurrentIndex(ports->count() - 1); // "Custom"
    ports->lineEdit()->selectAll();
    QTest::keyClicks(ports, path);
    QTest::mouseClick(dialog->findChild<QPushButton *>("applyButton"), Qt::LeftButton);
    Q_ASSERT(!dialog->isVisible());
    window.findChild<QAction *>("actionConnect")->trigger();
    return statusText(window);
}

QString consoleText(MainWindow &window) { return window.findChild<QPlainTextEdit *>("editRuvela")->toPlainText(); }

QString statusText(MainWindow &window) { return window.findChild<QLabel *>("statusLabel")->text(); }

void press(MainWindow &window, const char *buttonName)
{
    auto *button = window.findChild<QAbstractButton *>(buttonName);
    Q_ASSERT_X(button, "press", buttonName);
    // Bring its tab to the front first, as a user must.
    auto *tabs = window.findChild<QTabWidget *>("mainTabsRuvela");
    for (QWidget *w = button; w; w = w->parentWidget()) {
        if (tabs->indexOf(w) >= 0)
            tabs->setCurrentWidget(w);
    }
    QTest::mouseClick(button, Qt::LeftButton);
}

namespace {

// A pattern split into literal runs and picture runs (an empty literal with a length).
struct Piece
{
    QByteArray literal;
    qsizetype picture = 0;
};

QList<Piece> pieces(const QByteArray &pattern)
{
    QList<Piece> out;
    QByteArray text;
    qsizetype i = 0;
    while (i < pattern.size()) {
        const qsizetype open = pattern.indexOf('<', i);
        // '<' inside quoted text is not a marker; our samples hold none.
        if (open < 0) {
            text += pattern.mid(i);
            break;
        }
        text += pattern.mid(i, open - i);
        const qsizetype close = pattern.indexOf('>', open);
        out.append({hex(text.constData()), 0});
        out.append({{}, pattern.mid(open + 1, close - open - 1).toLongLong()});
        text.clear();
        i = close + 1;
    }
    out.append({hex(text.constData()), 0});
    return out;
}

} // namespace

qsizetype patternLength(const QByteArray &pattern)
{
    qsizetype n = 0;
    for (const Piece &p : pieces(pattern))
        n += p.literal.size() + p.picture;
    return n;
}

QString matchStream(const QByteArray &actual, const QByteArray &pattern, QList<QByteArray> *pictures)
{
    qsizetype at = 0;
    for (const Piece &p : pieces(pattern)) {
        if (p.picture) {
            if (pictures)
                pictures->append(actual.mid(at, p.picture));
            at += p.picture;
            continue;
        }
        const QByteArray got = actual.mid(at, p.literal.size());
        if (got != p.literal) {
            qsizetype k = 0;
            while (k < got.size() && got.at(k) == p.literal.at(k))
                ++k;
            return QStringLiteral("at byte %1: expected %2 but got %3")
                .arg(at + k)
                .arg(QString::fromLatin1(p.literal.mid(k, 12).toHex(' ')),
                    QString::fromLatin1(got.mid(k, 12).toHex(' ')));
        }
        at += p.literal.size();
    }
    if (at != actual.size())
        return QStringLiteral("%1 bytes expected, %2 arrived").arg(at).arg(actual.size());
    return {};
}

QList<int> inkedRows(const QByteArray &picture, int bytesPerRow)
{
    QList<int> rows;
    for (int y = 0; y * bytesPerRow < picture.size(); ++y) {
        const QByteArray row = picture.mid(qsizetype(y) * bytesPerRow, bytesPerRow);
        if (row.count('\0') != row.size())
            rows.append(y);
    }
    return rows;
}
